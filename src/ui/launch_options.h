#pragma once

#include <string>

namespace pellandrix::ui {

// How the desktop program was asked to start.
struct LaunchOptions {
    enum class Where {
        kHere,        // no argument: the current directory
        kFolder,      // `pellandrix DIR`
        kDataFolder,  // `pellandrix --data-folder`: the user's data folder
        kHelp,        // `pellandrix --help`: print the usage and end
    };
    Where where = Where::kHere;
    // The DIR of kFolder.
    std::string folder;
};

// Reads the first argument after the program name (arguments after it are
// ignored). A folder whose name starts with "--" is given as "./--name".
LaunchOptions ParseLaunchOptions(int argc, const char* const* argv);

// What `pellandrix --help` prints.
extern const char kLaunchUsage[];

}  // namespace pellandrix::ui
