#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/define_table.h"
#include "engine/directives.h"
#include "support/message_service.h"
#include "support/text_sink.h"

namespace pellandrix {

// State of one template file while it is read; every file, included ones
// too, starts with a fresh one.
struct EngineState {
    int line = 0;                // number of the chunk being handled, from 1
    bool inConditional = false;  // an #ifdef or #ifndef block is open
    bool skipping = false;       // lines of the current branch are dropped
};

// What a chunk turned out to be.
enum class ChunkKind { Text, Directive, Include };

// The line engine: obeys the directives of one chunk at a time, keeps the
// shared define table and writes surviving text lines with their names
// replaced. Borrows the table and the message service, which must outlive it.
class CLineEngine {
  public:
    CLineEngine(CDefineTable& defines, CMessageService& messages)
        : defines_(defines), messages_(messages) {}

    // Handles one chunk of the file `fileName` (the name shown in messages).
    // Text lines go to `output` unless it is null or the branch is skipped.
    // Returns Include for an honoured #include line: `includeArgument` then
    // views the argument inside `chunk` and the caller inserts the text.
    ChunkKind HandleChunk(EngineState& state, std::string_view fileName, std::string_view chunk,
                          ITextSink* output, std::string_view* includeArgument);

    // Handles the leading text lines of `text` (bytes as they are in the
    // file) as HandleChunk would handle them one by one, and returns how
    // many bytes they took: only lines that end within `text` and make a
    // whole chunk, none that could be a directive, none while the branch is
    // skipped or without output. A carriage return before a line feed is
    // dropped by overwriting it in `text`. 0 means the caller goes on chunk
    // by chunk.
    std::size_t HandleTextLines(EngineState& state, std::string_view fileName, std::span<char> text,
                                ITextSink* output);

    // End of input: reports a block that is still open.
    void Finish(const EngineState& state, std::string_view fileName);

  private:
    void HandleDefine(const EngineState& state, std::string_view fileName,
                      std::string_view directive);
    // Defines the symbol of `parts` as its value, once substituted.
    void TakeDefine(const EngineState& state, std::string_view fileName, DefineParts& parts);
    void HandleUndef(std::string_view symbol);
    void HandleIf(EngineState& state, std::string_view fileName, bool wantDefined,
                  std::string_view symbol);
    void HandleElse(EngineState& state, std::string_view fileName);
    void HandleEndif(EngineState& state, std::string_view fileName);
    void ReportAt(MessageId id, std::string_view fileName, const EngineState& state);

    CDefineTable& defines_;
    CMessageService& messages_;
    std::string line_;    // work buffer of text lines, kept to avoid reallocation
    std::string lines_;   // text made of many lines, written at once
    DefineParts define_;  // the #define in hand, kept to avoid reallocation
    static constexpr std::size_t kKeptDefineValue = 64 * 1024;
};

}  // namespace pellandrix
