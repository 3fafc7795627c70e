#pragma once

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/unchanged_paths.h"
#include "support/content_hash.h"

namespace pellandrix {

// How a generation run goes.
struct GenerateOptions {
    bool all = false;      // tick every live entry first
    bool changed = false;  // take from the record what did not change
    bool dryRun = false;   // write nothing, neither files nor the database
    bool inputs = false;   // report what the run read (GenerateReport::inputs)
    // Paths a watching caller vouches for (see IUnchangedPaths); borrowed
    // for the run. None: every path is looked at.
    const IUnchangedPaths* unchanged = nullptr;
};

// What a run read, for watching: every template and included file by the
// path it was read under, with its hash then (none: it was missing). The
// run's own generated files are left out.
struct RunInputs {
    std::map<std::string, std::optional<ContentHash>> files;
    // The files the run wrote or would have written (a step taken from the
    // record), and those it deleted: its pages, which a watcher watches too.
    std::vector<std::string> outputs;
    // A file was found with different texts within the run: it changed
    // while the run read it.
    bool changedDuringRun = false;
};

// A file a dry run found that a run would write, replace or delete.
struct PlannedChange {
    enum class Kind { Write, Replace, Delete };
    Kind kind = Kind::Write;
    std::string path;
    std::string reason;
};

// What a run tells beyond the statuses.
struct GenerateReport {
    // Why each entry that was generated was (by TPLFileId).
    std::unordered_map<int, std::string> reasons;
    // A dry run's changes, by path.
    std::vector<PlannedChange> planned;
    // With GenerateOptions::inputs.
    RunInputs inputs;
};

}  // namespace pellandrix
