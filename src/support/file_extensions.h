#pragma once

#include <string>
#include <string_view>

#include "support/fixed_text.h"
#include "support/node_list.h"

namespace pellandrix {

// One extension offered for generated files, without its leading dot.
struct CFileExtEntry : CListNode {
    // Longest usable extension: the width of the extension column of the
    // template-file table.
    static constexpr std::size_t kMaxName = 19;

    explicit CFileExtEntry(std::string_view text) : name(text) {}

    FixedText<kMaxName + 1> name;
};

using CFileExtList = CNodeList<CFileExtEntry>;

// Reads the extension definitions at `path` (normally "fileext.def" in the
// current directory) and appends one entry per usable line to `list`, in
// file order, duplicates included. The extension is the first field of a
// line split at ';'; further fields are ignored.
//
// A line is skipped when its first field is empty (a blank line, a line of
// double quotes only, or a line that begins with ';') or longer than
// kMaxName characters: a shortened extension would name files nobody asked
// for, and the database could not keep a longer one.
//
// Returns 1 in every case. A missing or unreadable file leaves `list` as it
// was and shows no message.
int LoadFileExtensions(const std::string& path, CFileExtList& list);

}  // namespace pellandrix
