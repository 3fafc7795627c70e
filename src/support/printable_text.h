#pragma once

#include <string_view>

namespace pellandrix {

// The one rule of which texts may stand as a name, a path or an extension,
// wherever they come in (a dialog, the command line, an imported or
// converted database): true when `text` holds a control character (a tab,
// a line feed, ...), which would break the one-line messages and the
// line-per-record output of the command line, and which no file name a
// user means holds.
bool HoldsControlCharacter(std::string_view text);

}  // namespace pellandrix
