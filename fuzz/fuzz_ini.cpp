// The database location rules on a Pellandrix.ini holding the input.
//
// Checked: the file name fits its 39 characters (not bytes); the full path is the
// directory followed by the file name; the directory ends with "/"; a
// relative database_path stays below the current directory; the rule gives
// the same answer when asked twice (nothing is cached or written).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "store/database_location.h"
#include "store/profile_reader.h"
#include "support/fixed_text.h"

using namespace pellandrix;
using namespace pellandrix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = ScratchDir();
    WriteFile(dir + "/" + kIniFileName, AsText(data, size));

    const DatabaseLocation location = LocateDatabase(dir);
    FUZZ_CHECK(TextWidth(location.fileName) <= 39, "file name fits");
    FUZZ_CHECK(location.fullPath == location.directory + location.fileName,
               "full path is directory and file name");
    FUZZ_CHECK(!location.directory.empty() && location.directory.back() == '/',
               "directory ends with a slash");
    const std::string setting =
        GetProfileString(dir + "/" + kIniFileName, "database", "database_path", ".", 199);
    FUZZ_CHECK(TextWidth(setting) <= 199, "path setting fits");
    if (!setting.empty() && setting.front() == '.') {
        FUZZ_CHECK(location.directory.starts_with(dir + "/"), "relative path below current dir");
    }
    const DatabaseLocation again = LocateDatabase(dir);
    FUZZ_CHECK(again.fullPath == location.fullPath, "same answer twice");
    return 0;
}
