#include "support/file_extensions.h"

#include <memory>

#include "support/delimited_text_file.h"

namespace pellandrix {

namespace {

bool IsUsableName(const std::optional<std::string_view>& field) {
    return field && !field->empty() && TextWidth(*field) <= CFileExtEntry::kMaxName;
}

}  // namespace

int LoadFileExtensions(const std::string& path, CFileExtList& list) {
    CDelimitedTextFile reader;
    // A missing file simply offers no extensions; start-up goes on.
    reader.LoadFile(path, ';');
    // Walk every row rather than stop at the first absent field: a line
    // beginning with ';' would otherwise silently drop all later lines.
    for (const CDelimitedRow& row : reader.Rows()) {
        const auto name = reader.GetField(row.line_number, 0);
        if (IsUsableName(name)) {
            list.Append(std::make_unique<CFileExtEntry>(*name));
        }
    }
    return 1;
}

}  // namespace pellandrix
