#include "support/delimited_text_file.h"

#include <algorithm>
#include <cstring>

#include "support/text_file.h"

namespace pellandrix {

namespace {

// Reads logical lines: physical chunks of the text reader, joined while
// their double quotes are unbalanced. A chunk that does not fit a joined
// line is kept back for the next call, so no text is lost.
class CLogicalLineReader {
  public:
    explicit CLogicalLineReader(CTextReader& reader) : reader_(reader) {}

    bool Next(std::string& line) {
        if (!NextPhysical(line)) {
            return false;
        }
        std::string next;
        while (CountChar(line, '"') % 2 == 1 && NextPhysical(next)) {
            if (!AppendJoined(line, next)) {
                pending_ = std::move(next);
                break;
            }
        }
        return true;
    }

  private:
    bool NextPhysical(std::string& chunk) {
        if (pending_) {
            chunk = std::move(*pending_);
            pending_.reset();
            return true;
        }
        return reader_.ReadChunk(chunk);
    }

    // Appends a space and `next` to `line` unless the result would exceed
    // the line limit. The inner line end goes: kept, it would end up inside
    // a field (an extension "htm\n" is of no use to anyone).
    static bool AppendJoined(std::string& line, const std::string& next) {
        const std::size_t kept = line.size() - (line.ends_with('\n') ? 1 : 0);
        if (kept + 1 + next.size() > CDelimitedTextFile::kMaxLine) {
            return false;
        }
        line.resize(kept);
        line += ' ';
        line += next;
        return true;
    }

    CTextReader& reader_;
    std::optional<std::string> pending_;
};

std::optional<std::string> FieldOrAbsent(std::string_view stretch) {
    if (stretch.empty()) {
        return std::nullopt;
    }
    return std::string(stretch);
}

}  // namespace

std::size_t CountChar(std::string_view text, char c) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

int CDelimitedTextFile::LoadFile(const std::string& path, char separator) {
    rows_.clear();
    widest_row_ = 0;
    separator_ = separator;
    CTextReader reader;
    if (path.empty() || !reader.Open(path)) {
        return 0;
    }
    CLogicalLineReader lines(reader);
    std::string line;
    int line_number = 0;
    while (lines.Next(line)) {
        // Only lines that made a row take a number, so the numbers of the
        // rows stay consecutive.
        if (ParseLine(line_number + 1, line) > 0) {
            ++line_number;
        }
    }
    return 1;
}

int CDelimitedTextFile::ParseLine(int line_number, std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    if (text.ends_with('\n')) {
        text.remove_suffix(1);
    }
    std::string work(text);
    std::erase(work, '"');
    // Counted after the quotes are gone, so that a quote as separator (which
    // removes itself) cannot promise fields the row does not have.
    const int count = 1 + static_cast<int>(CountChar(work, separator_));

    CDelimitedRow row;
    row.line_number = line_number;
    row.fields.reserve(static_cast<std::size_t>(count));
    std::string_view rest = work;
    for (std::size_t sep = rest.find(separator_); sep != std::string_view::npos;
         sep = rest.find(separator_)) {
        row.fields.push_back(FieldOrAbsent(rest.substr(0, sep)));
        rest.remove_prefix(sep + 1);
    }
    // The last field is kept even when empty: it tells a line that ends in
    // a separator from one that has fewer fields.
    row.fields.emplace_back(std::string(rest));
    rows_.push_back(std::move(row));
    widest_row_ = std::max(widest_row_, count);
    return count;
}

const CDelimitedRow* CDelimitedTextFile::FindRow(int line_number) const {
    // Rows read by LoadFile are numbered from 1 without gaps, so the row
    // usually sits at its number; rows made by direct ParseLine calls may
    // not, and are found by walking.
    const auto guess = static_cast<std::size_t>(line_number - 1);
    if (line_number >= 1 && guess < rows_.size() && rows_[guess].line_number == line_number) {
        return &rows_[guess];
    }
    const auto it = std::find_if(rows_.begin(), rows_.end(), [line_number](const CDelimitedRow& r) {
        return r.line_number == line_number;
    });
    return it == rows_.end() ? nullptr : &*it;
}

std::optional<std::string_view> CDelimitedTextFile::GetField(int line_number,
                                                             int field_index) const {
    const CDelimitedRow* row = FindRow(line_number);
    if (row == nullptr || field_index < 0 || field_index >= row->FieldCount()) {
        return std::nullopt;
    }
    const auto& slot = row->fields[static_cast<std::size_t>(field_index)];
    if (!slot) {
        return std::nullopt;
    }
    return std::string_view(*slot);
}

std::optional<std::string_view> CDelimitedTextFile::GetField(int line_number, int field_index,
                                                             std::span<char> buffer) const {
    if (field_index >= widest_row_) {
        return std::nullopt;
    }
    if (buffer.empty()) {
        return GetField(line_number, field_index);
    }
    std::fill(buffer.begin(), buffer.end(), '\0');
    const auto field = GetField(line_number, field_index);
    if (field) {
        const std::size_t n = std::min(field->size(), buffer.size() - 1);
        std::memcpy(buffer.data(), field->data(), n);
    }
    return field;
}

}  // namespace pellandrix
