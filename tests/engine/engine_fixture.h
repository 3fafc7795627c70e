#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/define_table.h"
#include "engine/line_engine.h"
#include "support/message_service.h"
#include "support/text_sink.h"
#include "testkit/recording_presenter.h"

namespace pellandrix::testkit {

// A line engine on a fresh define table whose messages are recorded.
struct EngineFixture {
    RecordingPresenter presenter;
    CMessageService messages{presenter};
    CDefineTable defines;
    CLineEngine engine{defines, messages};
    std::vector<std::string> includes;

    // Runs `text` through the engine as one file named "t.tpl", split at line
    // feeds (no line is longer than a chunk here), and returns what it wrote.
    std::string Process(std::string_view text) {
        CStringSink out;
        EngineState state;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            end = end == std::string_view::npos ? text.size() : end + 1;
            std::string_view argument;
            if (engine.HandleChunk(state, "t.tpl", text.substr(start, end - start), &out,
                                   &argument) == ChunkKind::Include) {
                includes.emplace_back(argument);
            }
            start = end;
        }
        engine.Finish(state, "t.tpl");
        return out.Text();
    }
};

}  // namespace pellandrix::testkit
