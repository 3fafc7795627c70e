// The delimited-text reader and the extension loader on a file holding the
// input, read once with ';' and once with the input's first byte as the
// separator.
//
// Checked: row numbers run 1, 2, 3, ...; no field holds a double quote or
// a line feed; every slot but the last may be absent, the last never is;
// WidestRow is the largest field count; GetField always leaves a
// terminated buffer and agrees with the rows; every extension loaded is
// non-empty and fits its 19 characters.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "support/delimited_text_file.h"
#include "support/file_extensions.h"

using namespace pellandrix;
using namespace pellandrix::fuzz;

namespace {

void CheckRows(const CDelimitedTextFile& file) {
    int expected = 1;
    int widest = 0;
    for (const CDelimitedRow& row : file.Rows()) {
        FUZZ_CHECK(row.line_number == expected++, "row numbers run 1, 2, 3, ...");
        FUZZ_CHECK(!row.fields.empty() && row.fields.back().has_value(), "last field present");
        for (const auto& field : row.fields) {
            if (field) {
                FUZZ_CHECK(field->find('"') == std::string::npos, "no quote in a field");
                FUZZ_CHECK(field->find('\n') == std::string::npos, "no line feed in a field");
            }
        }
        widest = std::max(widest, row.FieldCount());
    }
    FUZZ_CHECK(widest == file.WidestRow(), "WidestRow is the widest row");
}

void CheckLookups(const CDelimitedTextFile& file) {
    const int rows = static_cast<int>(file.Rows().size());
    char buffer[8];
    for (int line = 0; line <= rows + 1; ++line) {
        for (int index = -1; index <= file.WidestRow(); ++index) {
            std::memset(buffer, 'x', sizeof buffer);
            const auto plain = file.GetField(line, index);
            const auto copied = file.GetField(line, index, buffer);
            FUZZ_CHECK(plain == copied, "both lookups agree");
            if (copied) {
                FUZZ_CHECK(std::memchr(buffer, 0, sizeof buffer) != nullptr, "buffer terminated");
                FUZZ_CHECK(std::strncmp(buffer, copied->data(),
                                        std::min(copied->size(), sizeof buffer - 1)) == 0,
                           "buffer holds the field's start");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = ScratchDir() + "/fileext.def";
    WriteFile(path, AsText(data, size));

    const char separators[] = {';', size > 0 ? static_cast<char>(data[0]) : ','};
    for (char separator : separators) {
        CDelimitedTextFile file;
        FUZZ_CHECK(file.LoadFile(path, separator) == 1, "a readable file loads");
        CheckRows(file);
        CheckLookups(file);
        const std::size_t before = file.Rows().size();
        file.ParseLine(static_cast<int>(before) + 1, AsText(data, size));
        FUZZ_CHECK(file.Rows().size() == before + (size > 0 ? 1 : 0), "ParseLine adds one row");
    }

    CFileExtList list;
    FUZZ_CHECK(LoadFileExtensions(path, list) == 1, "the loader returns 1");
    for (const CFileExtEntry& entry : list) {
        FUZZ_CHECK(!entry.name.str().empty(), "no empty extension");
        FUZZ_CHECK(TextWidth(entry.name.str()) <= CFileExtEntry::kMaxName, "extension fits");
    }
    return 0;
}
