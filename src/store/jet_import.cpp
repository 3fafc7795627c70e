#include "store/jet_import.h"

#include <fcntl.h>
#include <mdbtools.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>

#include "store/dao_exception.h"
#include "support/windows_1252.h"

namespace pellandrix {

namespace {

// Page 0 of every Jet 3 and Jet 4 file starts so; the version follows.
constexpr std::string_view kSignature("\x00\x01\x00\x00Standard Jet DB\x00", 20);
constexpr std::size_t kVersionAt = 0x14;

// The version byte of page 0 (0 for Jet 3, 1 for Jet 4, more for later
// ones); nullopt when the file does not begin with the signature or is no
// regular file (a FIFO would stall the reading).
std::optional<unsigned> VersionOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat entry;
    std::string start(kVersionAt + 1, '\0');
    const bool read =
        ::fstat(fd, &entry) == 0 && S_ISREG(entry.st_mode) &&
        ::pread(fd, start.data(), start.size(), 0) == static_cast<ssize_t>(start.size());
    ::close(fd);
    if (!read || start.compare(0, kSignature.size(), kSignature) != 0) {
        return std::nullopt;
    }
    return static_cast<unsigned char>(start[kVersionAt]);
}

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
// the conversion sets both, so that a user's setting cannot change the
// texts it stores. Start-up runs on one thread, so nothing else reads the
// environment meanwhile.
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

// Jet 4 stores Unicode, which libmdb hands out as UTF-8. Jet 3 stores the
// bytes of the writer's code page; libmdb would convert them with iconv,
// which turns the five bytes Windows-1252 leaves undefined into "?". So
// they are asked for as ISO-8859-1 both ways, which passes every byte
// through as it is, and converted here (Text).
Handle OpenForReading(const std::string& path, unsigned version) {
    const bool jet3 = version == MDB_VER_JET3;
    const ScopedEnvironment output("MDBICONV", jet3 ? "ISO-8859-1" : "UTF-8");
    const ScopedEnvironment input("MDB_JET3_CHARSET", "ISO-8859-1");
    Handle mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb || mdb->f->jet_version != version) {
        ThrowLayerError(SQLITE_CANTOPEN, "cannot open " + path);
    }
    return mdb;
}

// A text as libmdb hands it out (OpenForReading), in UTF-8.
std::string Text(const MdbHandle& mdb, std::string_view raw) {
    return mdb.f->jet_version == MDB_VER_JET3 ? Windows1252ToUtf8(raw) : std::string(raw);
}

// A file cut inside a page reads the missing bytes as nothing at all, and
// libmdb then may take the rest of the page from the one read before.
void CheckSize(unsigned version, const std::string& path) {
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

std::vector<JetColumnInfo> ColumnsOf(const MdbHandle& mdb, MdbTableDef& table) {
    std::vector<JetColumnInfo> columns;
    for (unsigned i = 0; i < table.num_cols; ++i) {
        const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table.columns, i));
        const std::string name = Text(mdb, column->name);
        if (column->col_type != MDB_TEXT && !IsWholeNumberType(column->col_type)) {
            ThrowLayerError(SQLITE_MISMATCH, "table " + Text(mdb, table.name) + ", column " + name +
                                                 ": type " + std::to_string(column->col_type) +
                                                 " is neither a whole number nor a text");
        }
        columns.push_back({name, column->col_type == MDB_TEXT});
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

JetValue ValueOf(const MdbHandle& mdb, const JetColumnInfo& column, bool null,
                 const std::vector<char>& bound, int length) {
    if (null) {
        return std::monostate{};
    }
    const std::string_view text(bound.data(), static_cast<std::size_t>(std::max(length, 0)));
    if (column.text) {
        return Text(mdb, text);
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
    JetTableData data{Text(mdb, table->name), ColumnsOf(mdb, *table), {}};
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
            row.push_back(ValueOf(mdb, data.columns[i], nulls[i], bound[i], lengths[i]));
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
    return VersionOf(path).has_value();
}

std::vector<JetTableData> ReadJetTables(const std::string& path,
                                        const std::vector<std::string>& tables,
                                        const std::function<void()>& opened) {
    const std::optional<unsigned> version = VersionOf(path);
    if (!version) {
        ThrowLayerError(SQLITE_NOTADB, "not a Jet database: " + path);
    }
    if (*version != MDB_VER_JET3 && *version != MDB_VER_JET4) {
        ThrowLayerError(SQLITE_NOTADB,
                        "Jet version " + std::to_string(*version) + " is neither Jet 3 nor Jet 4");
    }
    CheckSize(*version, path);
    Handle mdb = OpenForReading(path, *version);
    if (opened) {
        opened();
    }
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
