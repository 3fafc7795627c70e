#include "store/jet_wire.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>

#include "store/dao_exception.h"

namespace pellandrix {

namespace {

constexpr char kTablesTag = 'T';
constexpr char kFailureTag = 'F';
enum ValueTag : unsigned char { kNull = 0, kNumber = 1, kText = 2 };

void PutNumber(std::string& out, std::uint64_t value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out.append(bytes, sizeof value);
}

void PutText(std::string& out, std::string_view text) {
    PutNumber(out, text.size());
    out.append(text);
}

void PutValue(std::string& out, const JetValue& value) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        out.push_back(static_cast<char>(kNumber));
        PutNumber(out, static_cast<std::uint64_t>(*number));
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        out.push_back(static_cast<char>(kText));
        PutText(out, *text);
    } else {
        out.push_back(static_cast<char>(kNull));
    }
}

// Reads `bytes` front to back; every read checks that what it takes is
// there, so a reply cut anywhere is refused instead of read beyond.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}

    unsigned char Byte() { return static_cast<unsigned char>(Take(1)[0]); }
    std::uint64_t Number() {
        std::uint64_t value = 0;
        std::memcpy(&value, Take(sizeof value).data(), sizeof value);
        return value;
    }
    std::string Text() { return std::string(Take(Number())); }
    // A count of items that each take at least `itemSize` bytes: one larger
    // than what is left cannot be true and must not size a vector.
    std::size_t Count(std::size_t itemSize) {
        const std::uint64_t count = Number();
        if (count > rest_.size() / itemSize) {
            Broken();
        }
        return static_cast<std::size_t>(count);
    }
    bool AtEnd() const { return rest_.empty(); }
    [[noreturn]] static void Broken() {
        ThrowLayerError(SQLITE_CORRUPT,
                        "die alte Datenbank ist beschädigt (die Antwort des "
                        "Leseprozesses ist unvollständig)");
    }

  private:
    std::string_view Take(std::uint64_t size) {
        if (size > rest_.size()) {
            Broken();
        }
        const std::string_view taken = rest_.substr(0, static_cast<std::size_t>(size));
        rest_.remove_prefix(static_cast<std::size_t>(size));
        return taken;
    }

    std::string_view rest_;
};

JetValue ValueFrom(Reader& in, bool text) {
    switch (in.Byte()) {
        case kNull:
            return std::monostate{};
        case kNumber:
            if (!text) {
                return static_cast<std::int64_t>(in.Number());
            }
            break;
        case kText:
            if (text) {
                return in.Text();
            }
            break;
    }
    Reader::Broken();
}

JetTableData TableFrom(Reader& in) {
    JetTableData table;
    table.name = in.Text();
    const std::size_t columns = in.Count(sizeof(std::uint64_t) + 1);
    for (std::size_t i = 0; i < columns; ++i) {
        JetColumnInfo& column = table.columns.emplace_back();
        column.name = in.Text();
        column.text = in.Byte() != 0;
    }
    // A row of no columns takes no bytes; the reader never sends one.
    const std::size_t rows = columns == 0 ? 0 : in.Count(columns);
    for (std::size_t r = 0; r < rows; ++r) {
        std::vector<JetValue>& row = table.rows.emplace_back();
        for (const JetColumnInfo& column : table.columns) {
            row.push_back(ValueFrom(in, column.text));
        }
    }
    return table;
}

}  // namespace

std::string EncodeJetTables(const std::vector<JetTableData>& tables) {
    std::string out(1, kTablesTag);
    PutNumber(out, tables.size());
    for (const JetTableData& table : tables) {
        PutText(out, table.name);
        PutNumber(out, table.columns.size());
        for (const JetColumnInfo& column : table.columns) {
            PutText(out, column.name);
            out.push_back(column.text ? 1 : 0);
        }
        PutNumber(out, table.columns.empty() ? 0 : table.rows.size());
        for (const std::vector<JetValue>& row : table.rows) {
            for (const JetValue& value : row) {
                PutValue(out, value);
            }
        }
    }
    return out;
}

std::string EncodeJetFailure(int code, std::string_view message) {
    std::string out(1, kFailureTag);
    PutNumber(out, static_cast<std::uint32_t>(code));
    PutText(out, message);
    return out;
}

std::vector<JetTableData> DecodeJetReply(std::string_view bytes) {
    Reader in(bytes);
    const unsigned char tag = in.Byte();
    if (tag == kFailureTag) {
        const auto code = static_cast<int>(static_cast<std::uint32_t>(in.Number()));
        std::string message = in.Text();
        if (!in.AtEnd()) {
            Reader::Broken();
        }
        ThrowLayerError(code, std::move(message));
    }
    if (tag != kTablesTag) {
        Reader::Broken();
    }
    std::vector<JetTableData> tables;
    const std::size_t count = in.Count(3 * sizeof(std::uint64_t));
    for (std::size_t i = 0; i < count; ++i) {
        tables.push_back(TableFrom(in));
    }
    if (!in.AtEnd()) {
        Reader::Broken();
    }
    return tables;
}

}  // namespace pellandrix
