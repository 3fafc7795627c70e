#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace pellandrix {

// How a generation run goes.
struct GenerateOptions {
    bool all = false;      // tick every live entry first
    bool changed = false;  // take from the record what did not change
    bool dryRun = false;   // write nothing, neither files nor the database
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
};

}  // namespace pellandrix
