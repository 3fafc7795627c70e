#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pellandrix::cli {

// The command line, parsed but not yet checked against the database.
struct CliOptions {
    std::string directory;  // -C DIR; empty: the current directory
    std::string command;    // projects, files, generate, watch, add-project, add-file, export,
                            // import, check, ...
    std::vector<std::string> arguments;
    bool help = false;
    bool all = false;
    bool changed = false;
    bool dryRun = false;
    bool explain = false;
    bool locations = false;
    bool removeStale = false;
    bool select = false;
    bool unselect = false;
    bool create = false;
    bool noCreate = false;
    bool alwaysParse = false;
    bool noAlwaysParse = false;
    bool ownSource = false;  // set-file: with the folder in `source`
    bool projectSource = false;
    bool projectTarget = false;
    bool readOnly = false;
    bool json = false;  // JSON Lines on standard output instead of the text lines
    bool open = false;
    std::optional<std::string> source;
    std::optional<std::string> target;
    std::optional<std::string> ext;
    std::optional<std::string> as;
    std::optional<std::string> name;
    std::optional<double> pollSeconds;
    std::optional<int> port;
};

struct ParseResult {
    CliOptions options;
    std::string error;  // non-empty: a usage error, described in German
};

// Parses the arguments after the program name. Options of a command may
// stand anywhere after the command; "--" ends options.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

}  // namespace pellandrix::cli
