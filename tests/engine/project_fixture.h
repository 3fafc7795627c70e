#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/run_status.h"
#include "engine/run_view.h"
#include "engine/template_parser.h"
#include "support/message_service.h"
#include "testkit/files.h"
#include "testkit/recording_presenter.h"
#include "testkit/temp_dir.h"

namespace pellandrix::testkit {

// Records what the run shows, in order.
struct RecordingView : IRunView {
    void RefreshRowStatus(int row) override { events.push_back("row " + std::to_string(row)); }
    void UpdateFirstItem() override { events.push_back("item0"); }
    void SetProgressRange(int low, int high) override {
        events.push_back("range " + std::to_string(low) + " " + std::to_string(high));
    }
    void SetProgressPos(int pos) override {
        positions.push_back(pos);
        events.push_back("pos " + std::to_string(pos));
    }
    void RefreshButtons() override { events.push_back("buttons"); }
    std::vector<std::string> events;
    std::vector<int> positions;
};

// A project in a temporary folder: templates in src/, generated files in
// out/, a parser whose messages are recorded.
struct ProjectFixture {
    TempDir dir;
    RecordingPresenter presenter;
    CMessageService messages{presenter};
    CTplFileList files;
    CTemplateParser parser{messages, files};
    RecordingView view;
    std::string src = dir / "src";
    std::string out = dir / "out";

    ProjectFixture() {
        std::filesystem::create_directory(src);
        std::filesystem::create_directory(out);
        parser.SetView(&view);
    }

    // Adds a template entry with the defaults of a new file (creates its
    // file, always parsed), selected, writing "<base>.html"; writes `text`
    // as its source unless `text` is null.
    CTplFileRecord& Add(const std::string& name, const char* text, bool selected = true) {
        CTplFileRecord* e = parser.Files().NewFile();
        e->TPLFileName = name;
        e->SourcePath = src;
        e->TargetPath = out;
        e->CreateFileExt = "html";
        e->Selected = selected ? 1 : 0;
        e->ListRow = parser.Files().Records().Count() - 1;
        if (text != nullptr) {
            WriteBytes(src + "/" + name, text);
        }
        return *e;
    }

    // Makes /dev a target folder (of an entry without a template, which
    // no run processes), so that a page may lead to its devices.
    void TargetDevices() { Add("dev.tpl", nullptr, false).TargetPath = "/dev"; }

    std::string Out(const std::string& name) const { return ReadBytes(out + "/" + name); }
    bool OutExists(const std::string& name) const { return Exists(out + "/" + name); }
    static int Status(const CTplFileRecord& e) { return e.RunStatus; }
};

inline constexpr int kDone = static_cast<int>(RunStatus::Done);
inline constexpr int kInProgress = static_cast<int>(RunStatus::InProgress);

}  // namespace pellandrix::testkit
