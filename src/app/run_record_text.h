#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/run_trace.h"
#include "store/run_record.h"
#include "store/tpl_file_list.h"

namespace pellandrix {

// A run record made ready for display, every entry it mentions named from
// the file list (as "Eintrag ID" when no live entry has the id). Both the
// text below and the command-line program's JSON are built from it.
struct RecordAction {
    TraceStep step;
    std::string entryName;  // of step.entry; empty when it is 0
};
struct RecordStep {
    int entryId = 0;
    std::string entryName;
    int pass = 0;
    bool readable = true;  // false: the stored trace could not be decoded
    bool clean = true;     // false: the step showed messages
    std::vector<RecordAction> actions;
};
struct RecordOutput {
    std::string path;
    ContentHash hash;
    int entryId = 0;
    std::string entryName;
    int pass = 0;
};
struct RunRecordView {
    std::vector<RecordStep> steps;      // in the order they ran
    std::vector<RecordOutput> outputs;  // in path order, so that two records compare
};

RunRecordView ViewRunRecord(const RunRecord& record, const CTplFileList& files);

// A hash as 32 hexadecimal digits; "fehlt" for a file that could not be
// opened.
std::string HashText(const std::optional<ContentHash>& hash);

// The run record of a project as text for users and bug reports: one block
// per step ("Schritt NAME, Durchgang N") listing in order what the step read
// (with the hash of what it found, "fehlt" for a file it could not open),
// which entries its #include lines found, which it marked to be generated
// again, and what it wrote; then the files the runs left, each with its hash
// and the step that wrote it last.
std::string RunRecordText(const RunRecordView& view);

}  // namespace pellandrix
