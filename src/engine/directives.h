#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pellandrix {

// True when any of the first `count` bytes of `line` is neither a blank nor
// a tab.
bool HasTextBefore(std::string_view line, std::size_t count);

// In place: every tab, line feed, blank and double quote becomes a blank,
// the leading run of them is removed and the text is cut behind the last
// other byte. A text of only such bytes becomes one blank; an empty text
// stays empty.
void TrimSymbol(std::string& text);

struct DefineParts {
    std::string symbol;
    std::string value;
};

// Cuts symbol and value out of a #define chunk. `directive` starts at the
// keyword and runs to the end of the chunk, line feed included. The byte
// behind the keyword is skipped as separator whatever it is; tabs count as
// blanks; the symbol ends at the next blank and is trimmed; the value is the
// rest after that blank and any further blanks, without one trailing line
// feed. The value is not yet substituted.
DefineParts ParseDefine(std::string_view directive);
// The same into `parts`, whose capacity is reused.
void ParseDefine(std::string_view directive, DefineParts& parts);

// True when a #define symbol names nothing: empty, or only blanks after
// trimming. Such a definition is ignored, since a name of one blank would
// delete every blank of every later line.
bool IsBlankSymbol(std::string_view symbol);

// The argument of an #include chunk. `directive` starts at the keyword.
// The usual form is the keyword, one separator and the name in double
// quotes: then the argument starts behind the opening quote. Otherwise
// blanks and tabs behind the keyword are skipped, then an opening quote if
// there is one; an unquoted name ends at the next blank, tab or line end.
std::string_view IncludeArgument(std::string_view directive);

// The argument of `chunk` when it is an #include line in any branch: the
// keyword stands at its first byte that is not a blank or tab. Null
// otherwise. Whether the line is honoured depends on the branch it is read
// in; this tells every line that may be.
std::optional<std::string_view> IncludeLineArgument(std::string_view chunk);

// The parts of an #include argument. The name ends at the first double
// quote, or at the line end when there is none. Both "\" and "/" separate
// directories.
struct IncludeName {
    std::string directory;  // up to and including the last separator
    std::string name;       // the file name without its extension
    std::string extension;  // behind the last dot of the file name
    bool hasDot = false;    // false: the file name has no extension at all
};
IncludeName SplitIncludeName(std::string_view argument);

}  // namespace pellandrix
