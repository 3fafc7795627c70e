#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/line_engine.h"
#include "engine/memory_sink.h"
#include "engine/template_parser.h"
#include "support/text_file.h"

namespace pellandrix {

// One template being read. Includes are resolved with an explicit stack of
// frames instead of recursion, so a long include chain cannot exhaust the
// call stack; waiting frames below the upper levels give up their file
// descriptors (see kLevelsKeptOpen).
struct CTemplateParser::Frame {
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

}  // namespace pellandrix
