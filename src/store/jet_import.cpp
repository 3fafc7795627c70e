#include "store/jet_import.h"

#include <mdbtools.h>
#include <sqlite3.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>

#include "store/dao_exception.h"

namespace pellandrix {

namespace {

// Page 0 of every Jet 3 and Jet 4 file starts so; the version follows at
// 0x14.
constexpr std::string_view kSignature("\x00\x01\x00\x00Standard Jet DB\x00", 20);

struct HandleCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
using Handle = std::unique_ptr<MdbHandle, HandleCloser>;

struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using Table = std::unique_ptr<MdbTableDef, TableFreer>;

// Sets an environment variable while the object lives, then restores it.
// libmdb reads MDBICONV (the character set it hands texts out in) and
// MDB_JET3_CHARSET (the one it reads Jet 3 texts in) when it opens a file;
// a user's setting of either would change the texts the conversion stores.
// Start-up runs on one thread, so nothing else reads the environment
// meanwhile.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

Handle OpenForReading(const std::string& path) {
    const ScopedEnvironment output("MDBICONV", "UTF-8");
    const ScopedEnvironment jet3("MDB_JET3_CHARSET", "CP1252");
    Handle mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb) {
        ThrowLayerError(SQLITE_CANTOPEN, "cannot open " + path);
    }
    return mdb;
}

// A file cut inside a page reads the missing bytes as nothing at all, and
// libmdb then may take the rest of the page from the one read before.
void CheckVersionAndSize(const MdbHandle& mdb, const std::string& path) {
    const unsigned version = mdb.f->jet_version;
    if (version != MDB_VER_JET3 && version != MDB_VER_JET4) {
        ThrowLayerError(SQLITE_NOTADB,
                        "Jet version " + std::to_string(version) + " is neither Jet 3 nor Jet 4");
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    const std::uintmax_t page = version == MDB_VER_JET3 ? 2048 : 4096;
    if (error || size % page != 0) {
        ThrowLayerError(SQLITE_CORRUPT, "the file ends inside a page (cut short)");
    }
}

bool IsWholeNumberType(int type) {
    return type == MDB_LONGINT || type == MDB_INT || type == MDB_BYTE;
}

std::vector<JetColumnInfo> ColumnsOf(MdbTableDef& table) {
    std::vector<JetColumnInfo> columns;
    for (unsigned i = 0; i < table.num_cols; ++i) {
        const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table.columns, i));
        if (column->col_type != MDB_TEXT && !IsWholeNumberType(column->col_type)) {
            ThrowLayerError(SQLITE_MISMATCH, std::string("table ") + table.name + ", column " +
                                                 column->name + ": type " +
                                                 std::to_string(column->col_type) +
                                                 " is neither a whole number nor a text");
        }
        columns.push_back({column->name, column->col_type == MDB_TEXT});
    }
    return columns;
}

// The bound values give a Null and an empty text alike, as length 0; only
// the row's own null mask tells them apart. libmdb leaves the row's page in
// the handle's buffer after fetching it (no memo column can move it).
std::vector<bool> NullsOfCurrentRow(MdbHandle& mdb, MdbTableDef& table) {
    int start = 0;
    std::size_t size = 0;
    std::vector<MdbField> fields(MDB_MAX_COLS);
    if (table.cur_row == 0 ||
        mdb_find_row(&mdb, static_cast<int>(table.cur_row) - 1, &start, &size) != 0 ||
        mdb_crack_row(&table, start, size, fields.data()) != static_cast<int>(table.num_cols)) {
        ThrowLayerError(SQLITE_CORRUPT, std::string("table ") + table.name + ": a row is damaged");
    }
    std::vector<bool> nulls;
    for (unsigned i = 0; i < table.num_cols; ++i) {
        nulls.push_back(fields[i].is_null != 0);
    }
    return nulls;
}

JetValue ValueOf(const JetColumnInfo& column, bool null, const std::vector<char>& bound,
                 int length) {
    if (null) {
        return std::monostate{};
    }
    const std::string_view text(bound.data(), static_cast<std::size_t>(std::max(length, 0)));
    if (column.text) {
        return std::string(text);
    }
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) {
        ThrowLayerError(SQLITE_CORRUPT, "column " + column.name + ": \"" + std::string(text) +
                                            "\" is not a whole number");
    }
    return number;
}

JetTableData ReadTable(MdbHandle& mdb, std::string name) {
    Table table(mdb_read_table_by_name(&mdb, name.data(), MDB_TABLE));
    if (!table || mdb_read_columns(table.get()) == nullptr) {
        ThrowLayerError(SQLITE_CORRUPT, "no readable table " + name);
    }
    JetTableData data{table->name, ColumnsOf(*table), {}};
    const std::size_t count = data.columns.size();
    std::vector<std::vector<char>> bound(count, std::vector<char>(mdb.bind_size + 1));
    std::vector<int> lengths(count);
    for (std::size_t i = 0; i < count; ++i) {
        mdb_bind_column(table.get(), static_cast<int>(i) + 1, bound[i].data(), &lengths[i]);
    }
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get()) != 0) {
        const std::vector<bool> nulls = NullsOfCurrentRow(mdb, *table);
        std::vector<JetValue>& row = data.rows.emplace_back();
        for (std::size_t i = 0; i < count; ++i) {
            row.push_back(ValueOf(data.columns[i], nulls[i], bound[i], lengths[i]));
        }
    }
    // Jet keeps no checksums; the row count in the table's definition is
    // the one check that a data page was lost or replaced.
    if (data.rows.size() != table->num_rows) {
        ThrowLayerError(SQLITE_CORRUPT, "table " + data.name + ": " +
                                            std::to_string(data.rows.size()) + " of " +
                                            std::to_string(table->num_rows) + " rows readable");
    }
    return data;
}

}  // namespace

bool IsJetFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string start(kSignature.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    return in && start == kSignature;
}

std::vector<JetTableData> ReadJetTables(const std::string& path,
                                        const std::vector<std::string>& tables) {
    if (!IsJetFile(path)) {
        ThrowLayerError(SQLITE_NOTADB, "not a Jet database: " + path);
    }
    Handle mdb = OpenForReading(path);
    CheckVersionAndSize(*mdb, path);
    if (mdb_read_catalog(mdb.get(), MDB_TABLE) == nullptr) {
        ThrowLayerError(SQLITE_CORRUPT, "the list of tables cannot be read");
    }
    std::vector<JetTableData> out;
    for (const std::string& name : tables) {
        out.push_back(ReadTable(*mdb, name));
    }
    return out;
}

}  // namespace pellandrix
