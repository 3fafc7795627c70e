#pragma once

#include <string>
#include <string_view>

#include "app/outcome.h"

namespace pellandrix {

// The extensions a fresh data folder offers, as the lines of a fileext.def.
inline constexpr std::string_view kDefaultExtensionFile =
    "html;HTML-Seite\n"
    "htm;HTML-Seite (kurz)\n"
    "shtml;HTML-Seite mit Server-Side Includes\n"
    "php;PHP-Seite\n"
    "css;Stylesheet\n"
    "js;JavaScript\n"
    "txt;Text\n"
    "xml;XML-Datei\n";

// The program's folder among the user's data: "<xdgDataHome>/pellandrix",
// or "<home>/.local/share/pellandrix" when `xdgDataHome` is null, empty or
// not absolute (a relative value is to be ignored). Empty when `home` is
// needed and is null, empty or not absolute. Either argument may be null.
std::string DataFolderPath(const char* xdgDataHome, const char* home);

// Makes the data folder ready for a start in it: creates `folder` and any
// missing parents, each with mode 0700 (folders that exist keep theirs),
// then writes kDefaultExtensionFile to "fileext.def" in it when there is
// no file of that name (an existing one, even an empty one, is the user's
// and stays as it is). An empty `folder` stands for an unset home folder.
// Refused with message 51 (the folder, the reason) when the folder cannot
// be made, is no folder, or the file cannot be written; whatever was made
// before the failure stays.
Outcome PrepareDataFolder(const std::string& folder);

}  // namespace pellandrix
