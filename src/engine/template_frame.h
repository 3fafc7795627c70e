#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/held_texts.h"
#include "engine/line_engine.h"
#include "engine/memory_sink.h"
#include "store/tpl_file_list.h"
#include "support/content_hash.h"
#include "support/text_file.h"

namespace pellandrix {

// What became of an entry's own generated file when it was processed.
enum class OutputResult {
    Written,             // in place (or it already held exactly that text)
    TemplateUnreadable,  // the template could not be opened: nothing happened
    DirectoryMissing,    // the target folder does not exist
    NotCreated,          // the file could not be created for another reason
    WriteFailed,         // writing broke off; reported as it happened
    Refused,             // the file is a template or lies outside the target
                         // folders (COutputGuard); reported as it happened
};

// One template being read. Includes are resolved with an explicit stack of
// frames instead of recursion, so a long include chain cannot exhaust the
// call stack; waiting frames below the upper levels give up their file
// descriptors.
struct TemplateFrame {
    CTplFileRecord* entry = nullptr;
    std::string templatePath;
    std::string outputPath;
    CTextReader reader;
    CTextWriter writer;
    CMemorySink dry;  // a dry run's text instead of the writer's
    bool isDry = false;
    std::size_t traceStep = 0;  // this frame's Frame step, when recording
    std::int64_t startedNs = 0;
    bool hasOutput = false;
    // The frame's text may be held instead of written (CHeldTexts), for
    // `known`; and was.
    CHeldTexts::Known* holdFor = nullptr;
    std::optional<std::string> held;
    // Where the file is written, while the run notes what it puts in place
    // for held texts (CGenerationContext::MayHold).
    std::optional<SFilePlace> place;
    bool included = false;  // generated for an #include, not on its own
    bool written = false;
    std::optional<ContentHash> hash;  // of the text written, when known
    OutputResult result = OutputResult::Written;
    EngineState state;
    // Set while an included template is generated on top of this frame.
    CTplFileRecord* pending = nullptr;
    std::string pendingPath;

    ITextSink* Output() {
        if (!hasOutput) {
            return nullptr;
        }
        return isDry ? static_cast<ITextSink*>(&dry) : &writer;
    }
    void WriteAsIs(std::string_view bytes) {
        if (isDry) {
            dry.WriteAsIs(bytes);
        } else {
            writer.WriteAsIs(bytes);
        }
    }
};

// The include chain a parser is working through, outermost first.
using FrameStack = std::vector<std::unique_ptr<TemplateFrame>>;

}  // namespace pellandrix
