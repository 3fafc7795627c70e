#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellandrix {

// The number of times `c` occurs in `text`.
std::size_t CountChar(std::string_view text, char c);

// One logical line of a delimited text file, split into fields.
struct CDelimitedRow {
    // 1-based number of the logical line the row was made from.
    int line_number = 0;
    // One slot per field: 1 + the number of separators in the line. A slot
    // is absent when its text was empty, except the last one, which is
    // always present (possibly empty).
    std::vector<std::optional<std::string>> fields;

    int FieldCount() const { return static_cast<int>(fields.size()); }
};

// Reads a text file of separator-delimited lines into rows of fields.
//
// Double quotes are removed wherever they stand and do not protect a
// separator; a line with an odd number of them continues on the next
// physical line. Lines are read in text mode (CR LF is one line end) and a
// physical line longer than 999 characters is read as several lines.
class CDelimitedTextFile {
  public:
    // Longest logical line, joined lines included.
    static constexpr std::size_t kMaxLine = 999;

    CDelimitedTextFile() = default;
    CDelimitedTextFile(const CDelimitedTextFile&) = delete;
    CDelimitedTextFile& operator=(const CDelimitedTextFile&) = delete;

    // Drops any rows read before, then reads the file at `path` and splits
    // every logical line at `separator` into a row; row line numbers run
    // 1, 2, 3, ... Returns 0 (and holds no rows) when `path` is empty or
    // the file cannot be opened as a regular file, 1 otherwise.
    //
    // Two lines are joined with one space in between while the text holds
    // an odd number of double quotes; the line end inside the joined text
    // is dropped, so no field carries a line feed. Joining stops at the end
    // of the file, or when the joined text would grow past kMaxLine; the
    // physical line that did not fit then starts the next logical line.
    int LoadFile(const std::string& path, char separator);

    // Splits `text` at the separator of the last LoadFile (';' before any)
    // into a new row numbered `line_number`, appended after the existing
    // rows. One trailing line feed is removed first. Returns the row's field
    // count, or 0 when `text` is empty (no row is made).
    int ParseLine(int line_number, std::string_view text);

    // The text of field `field_index` (0-based) of the row numbered
    // `line_number`, or nullopt when there is no such row or field or the
    // field slot is absent. The view stays valid until the rows change.
    std::optional<std::string_view> GetField(int line_number, int field_index) const;

    // As above, and copies the field into `buffer`: when `field_index` is
    // below WidestRow() the whole buffer is zeroed first, then at most
    // buffer.size() - 1 bytes of a found field are copied, so the buffer
    // always ends in a zero byte. An empty buffer is never written.
    std::optional<std::string_view> GetField(int line_number, int field_index,
                                             std::span<char> buffer) const;

    // The largest field count of any row (0 when there are none).
    int WidestRow() const { return widest_row_; }
    // The rows in the order they were made.
    const std::vector<CDelimitedRow>& Rows() const { return rows_; }

  private:
    const CDelimitedRow* FindRow(int line_number) const;

    char separator_ = ';';
    std::vector<CDelimitedRow> rows_;
    int widest_row_ = 0;
};

}  // namespace pellandrix
