#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pellandrix {

// Reads one value of an INI file the way the Windows profile functions do:
// section and key names compared without regard to case, the value trimmed
// of blanks and of one pair of enclosing quotes ("..." or '...'), the first
// occurrence of the key in the section winning, and `fallback` when the
// file, the section or the key is missing. A key present with an empty
// value gives the empty text, not the fallback. The result is cut to
// `maxLength` characters (CutToWidth).
//
// One limit comes from the INI library: a ";" preceded by a blank starts a
// comment inside a value.
std::string GetProfileString(const std::string& iniPath, std::string_view section,
                             std::string_view key, std::string_view fallback,
                             std::size_t maxLength);

// Why the INI file at `iniPath` cannot be read, as the system's error
// text: something is there (a directory, a file without read permission, a
// link to nothing) that GetProfileString would take for a missing file and
// answer with the fallbacks. Also (in German) a FIFO or device, which
// would stall the reading, and a file saved as UTF-16 (a byte order mark
// or a NUL byte in its first 4 KB), in which no key would be found. Empty
// when the file reads or nothing is there.
std::string ProfileReadProblem(const std::string& iniPath);

}  // namespace pellandrix
