#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellandrix {

// The folders a desktop looks for application entries (*.desktop files)
// in, the user's own first: "<xdgDataHome>/applications" (by default
// "<home>/.local/share/applications"), then "applications" under each
// folder of the colon-separated `xdgDataDirs` (by default
// "/usr/local/share:/usr/share"). Relative or empty values are ignored as
// if unset; any argument may be null.
std::vector<std::string> ApplicationFolders(const char* xdgDataHome, const char* home,
                                            const char* xdgDataDirs);

// The Exec value of the application entry `id` (such as "firefox.desktop",
// as the desktop's settings name it): key Exec of group [Desktop Entry] of
// the file `id` in the first of `folders` that has one, as written there.
// nullopt when no folder has the file, or the file has no such key or is
// marked Hidden=true (the user deleted the entry).
std::optional<std::string> FindExecValue(const std::vector<std::string>& folders,
                                         std::string_view id);

// The program and its arguments for an Exec value (as FindExecValue gives
// it), asked to open one file: the value's string escapes (\s \n \t \r \\)
// are resolved, it is split at unquoted blanks, double quotes group an
// argument (with \" \` \$ \\ escaped inside), %f and %F become `path`, %u
// and %U become `url`, %% a percent sign, and every other field code is
// dropped, with its argument when nothing else is left of it. An entry
// that names no field for a file gets `url` as its last argument, since
// the caller's whole point is the file. Empty when a quote is not closed or
// no program is named.
std::vector<std::string> ExpandExecValue(std::string_view exec, std::string_view path,
                                         std::string_view url);

}  // namespace pellandrix
