#include "testkit/jet_file.h"

#include <stdio.h>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>

#include "testkit/files.h"

namespace pellandrix::testkit {

namespace {

// Where the two versions differ, after the page-format notes that ship
// with Debian's libmdb3.
struct Format {
    bool jet4;
    std::size_t pageSize;
    std::size_t rowCountAt;   // data page: num_rows, then the row offsets
    std::size_t tdefColumns;  // table definition: where the columns start
    std::size_t columnEntry;  // bytes per column entry
    std::size_t encrypted;    // bytes of page 0 under RC4 from 0x18
    std::size_t mapBytes;     // bitmap bytes of a table's usage map
};

constexpr Format kJet3{false, 2048, 0x08, 0x2B, 18, 126, 128};
constexpr Format kJet4{true, 4096, 0x0C, 0x3F, 25, 128, 64};

const Format& FormatOf(JetVersion version) {
    return version == JetVersion::kJet3 ? kJet3 : kJet4;
}

// The data page that holds every table's usage maps; the catalog's table
// definition is always page 2.
constexpr std::uint32_t kMapPage = 1;
constexpr std::uint32_t kCatalogPage = 2;
constexpr std::uint16_t kGeneralSort = 0x409;
constexpr std::uint16_t kCodePage1252 = 1252;
// Page 0 from 0x18 is RC4-encrypted with this fixed key.
constexpr std::array<std::uint8_t, 4> kPage0Key{0xC7, 0xDA, 0x39, 0x6B};

// kOle only for the catalog's property column, which stays Null here.
enum class Kind { kLong, kShort, kText, kOle };

struct Column {
    std::string name;
    Kind kind;
    bool autoNumber = false;
};

struct Table {
    std::string name;
    std::vector<Column> columns;
    std::vector<JetRow> rows;
    bool system = false;
};

void Put16(std::string& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

void Add8(std::string& b, std::uint32_t v) {
    b.push_back(static_cast<char>(v & 0xFF));
}

void Add16(std::string& b, std::uint32_t v) {
    Add8(b, v);
    Add8(b, v >> 8);
}

void Add32(std::string& b, std::uint32_t v) {
    Add16(b, v & 0xFFFF);
    Add16(b, v >> 16);
}

std::vector<char32_t> CodePoints(const std::string& utf8) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8.at(i + k)) & 0x3F);
        }
        out.push_back(cp);
        i += 1 + extra;
    }
    return out;
}

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F; Windows maps
// the five bytes left undefined there to the control characters of the
// same number.
char Cp1252(char32_t cp) {
    static constexpr std::array<char32_t, 32> kHigh{
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
        return static_cast<char>(cp);
    }
    const auto* at = std::find(kHigh.begin(), kHigh.end(), cp);
    if (at == kHigh.end()) {
        throw std::invalid_argument("character outside Windows-1252");
    }
    return static_cast<char>(0x80 + (at - kHigh.begin()));
}

std::string EncodeText(const Format& f, const std::string& utf8) {
    std::string out;
    for (const char32_t cp : CodePoints(utf8)) {
        if (f.jet4) {
            Add16(out, static_cast<std::uint32_t>(cp));
        } else {
            out.push_back(Cp1252(cp));
        }
    }
    return out;
}

void Rc4(std::string& bytes, std::size_t from, std::size_t length) {
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) {
        s[i] = static_cast<std::uint8_t>(i);
    }
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + kPage0Key[i % kPage0Key.size()]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        bytes[from + n] = static_cast<char>(bytes[from + n] ^ s[(s[i] + s[j]) & 0xFF]);
    }
}

std::string DatabasePage(const Format& f) {
    std::string page(f.pageSize, '\0');
    const std::string magic("\x00\x01\x00\x00Standard Jet DB", 19);
    page.replace(0, magic.size(), magic);
    Put32(page, 0x14, f.jet4 ? 1 : 0);
    if (!f.jet4) {
        Put16(page, 0x3A, kGeneralSort);
    } else {
        Put32(page, 0x6E, kGeneralSort);
    }
    Put16(page, 0x3C, kCodePage1252);  // database key at 0x3E stays 0: pages in clear
    Rc4(page, 0x18, f.encrypted);
    return page;
}

bool IsFixed(Kind kind) {
    return kind != Kind::kText;
}

std::size_t FixedSize(Kind kind) {
    return kind == Kind::kLong ? 4 : kind == Kind::kShort ? 2 : 0;
}

// The row as Jet stores it: column count, fixed columns at their offsets,
// the texts one after another, then (read from the row's end backwards)
// the null mask, the count of variable columns, in Jet 3 the jump table
// for offsets past 255, the offsets of the texts and the end of data.
std::string EncodeRow(const Format& f, const Table& t, const JetRow& row) {
    const std::size_t width = f.jet4 ? 2 : 1;
    std::string data;
    (f.jet4 ? Add16 : Add8)(data, static_cast<std::uint32_t>(t.columns.size()));
    std::string mask((t.columns.size() + 7) / 8, '\0');
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        if (row.at(c)) {
            mask[c / 8] = static_cast<char>(mask[c / 8] | (1 << (c % 8)));
        }
        if (!IsFixed(t.columns[c].kind)) {
            continue;
        }
        const std::int32_t v = row[c] ? std::get<std::int32_t>(*row[c]) : 0;
        (t.columns[c].kind == Kind::kLong ? Add32 : Add16)(data, static_cast<std::uint32_t>(v));
    }
    std::vector<std::size_t> offsets;  // of each text, then the end of data
    for (std::size_t c = 0; c < t.columns.size(); ++c) {
        if (IsFixed(t.columns[c].kind)) {
            continue;
        }
        offsets.push_back(data.size());
        if (row[c]) {
            data += EncodeText(f, std::get<std::string>(*row[c]));
        }
    }
    offsets.push_back(data.size());
    const std::size_t varCount = offsets.size() - 1;
    const std::size_t trailer = offsets.size() * width + width + mask.size();
    std::size_t jumps = 0;
    while (!f.jet4 && (data.size() + trailer + jumps - 1) / 256 != jumps) {
        jumps = (data.size() + trailer + jumps - 1) / 256;
    }
    std::string tail;
    for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
        (f.jet4 ? Add16 : Add8)(tail, static_cast<std::uint32_t>(*it));
    }
    for (std::size_t j = jumps; j-- > 0;) {
        const std::size_t limit = 256 * (j + 1);
        const auto first = std::find_if(offsets.begin(), offsets.end(),
                                        [limit](std::size_t o) { return o >= limit; });
        Add8(tail,
             first == offsets.end() ? 0xFF : static_cast<std::uint32_t>(first - offsets.begin()));
    }
    (f.jet4 ? Add16 : Add8)(tail, static_cast<std::uint32_t>(varCount));
    return data + tail + mask;
}

// Fills data pages of `pageSize` with rows from the page's end upwards.
std::vector<std::vector<std::string>> PackRows(const Format& f,
                                               const std::vector<std::string>& rows) {
    std::vector<std::vector<std::string>> pages(1);
    std::size_t used = f.rowCountAt + 2;
    for (const std::string& row : rows) {
        if (row.size() + 2 + f.rowCountAt + 2 > f.pageSize) {
            throw std::invalid_argument("row larger than a page");
        }
        if (used + row.size() + 2 > f.pageSize) {
            pages.emplace_back();
            used = f.rowCountAt + 2;
        }
        pages.back().push_back(row);
        used += row.size() + 2;
    }
    return pages;
}

std::string DataPage(const Format& f, std::uint32_t tdefPage,
                     const std::vector<std::string>& rows) {
    std::string page(f.pageSize, '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    Put32(page, 4, tdefPage);
    Put16(page, f.rowCountAt, static_cast<std::uint32_t>(rows.size()));
    std::size_t end = f.pageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        end -= rows[i].size();
        page.replace(end, rows[i].size(), rows[i]);
        Put16(page, f.rowCountAt + 2 + 2 * i, static_cast<std::uint32_t>(end));
    }
    Put16(page, 2, static_cast<std::uint32_t>(end - (f.rowCountAt + 2 + 2 * rows.size())));
    return page;
}

// A type 0 usage map from page 0: one bit per page of `pages`.
std::string UsageMap(const Format& f, const std::vector<std::uint32_t>& pages) {
    std::string map(1 + 4 + f.mapBytes, '\0');
    for (const std::uint32_t p : pages) {
        if (p / 8 >= f.mapBytes) {
            throw std::invalid_argument("table beyond its usage map");
        }
        map[5 + p / 8] = static_cast<char>(map[5 + p / 8] | (1 << (p % 8)));
    }
    return map;
}

std::string EncodeName(const Format& f, const std::string& name) {
    std::string out;
    const std::string encoded = EncodeText(f, name);
    (f.jet4 ? Add16 : Add8)(out, static_cast<std::uint32_t>(encoded.size()));
    return out + encoded;
}

std::string ColumnEntry(const Format& f, const Column& c, std::size_t number, std::size_t varIndex,
                        std::size_t fixedOffset) {
    const auto type = c.kind == Kind::kLong    ? 0x04
                      : c.kind == Kind::kShort ? 0x03
                      : c.kind == Kind::kOle   ? 0x0B
                                               : 0x0A;
    const std::uint32_t flags = (IsFixed(c.kind) ? 0x01 : 0) | 0x02 | (c.autoNumber ? 0x04 : 0);
    const std::uint32_t length = IsFixed(c.kind)        ? FixedSize(c.kind)
                                 : c.kind == Kind::kOle ? 0
                                 : f.jet4               ? 510
                                                        : 255;
    const auto n = static_cast<std::uint32_t>(number);
    std::string e;
    Add8(e, type);
    if (f.jet4) {
        Add32(e, 0);
    }
    Add16(e, n);
    Add16(e, static_cast<std::uint32_t>(varIndex));
    Add16(e, n);
    if (f.jet4) {
        Add16(e, IsFixed(c.kind) ? 0 : kGeneralSort);
        Add16(e, 0);
        Add8(e, flags);
        Add8(e, 0);  // texts in plain UCS-2, not compressed
        Add32(e, 0);
    } else {
        Add16(e, IsFixed(c.kind) ? 0 : kGeneralSort);
        Add16(e, IsFixed(c.kind) ? 0 : kCodePage1252);
        Add16(e, 0);
        Add8(e, flags);
    }
    Add16(e, static_cast<std::uint32_t>(fixedOffset));
    Add16(e, length);
    return e;
}

std::string TableDefinitionPage(const Format& f, const Table& t, std::uint32_t usedMap,
                                std::uint32_t freeMap) {
    std::string page(f.tdefColumns, '\0');
    page[0] = 0x02;
    page[1] = 0x01;
    if (!f.jet4) {
        page[2] = 'V';
        page[3] = 'C';
    }
    std::int32_t nextId = 1;
    for (const JetRow& row : t.rows) {
        for (std::size_t c = 0; c < t.columns.size(); ++c) {
            if (t.columns[c].autoNumber && row[c]) {
                nextId = std::max(nextId, std::get<std::int32_t>(*row[c]) + 1);
            }
        }
    }
    std::size_t varCount = 0;
    for (const Column& c : t.columns) {
        varCount += IsFixed(c.kind) ? 0 : 1;
    }
    const std::size_t at = f.jet4 ? 0x10 : 0x0C;  // num_rows, then the next autonumber
    Put32(page, at, static_cast<std::uint32_t>(t.rows.size()));
    Put32(page, at + 4, static_cast<std::uint32_t>(nextId));
    if (f.jet4) {
        page[0x18] = 0x01;
    }
    const std::size_t type = f.jet4 ? 0x28 : 0x14;
    page[type] = t.system ? 0x53 : 0x4E;
    const auto columns = static_cast<std::uint32_t>(t.columns.size());
    Put16(page, type + 1, columns);
    Put16(page, type + 3, static_cast<std::uint32_t>(varCount));
    Put16(page, type + 5, columns);
    Put32(page, type + 15, usedMap);
    Put32(page, type + 19, freeMap);
    std::size_t varIndex = 0;
    std::size_t fixedOffset = 0;
    for (std::size_t n = 0; n < t.columns.size(); ++n) {
        const Column& c = t.columns[n];
        page += ColumnEntry(f, c, n, IsFixed(c.kind) ? 0 : varIndex, fixedOffset);
        varIndex += IsFixed(c.kind) ? 0 : 1;
        fixedOffset += FixedSize(c.kind);
    }
    for (const Column& c : t.columns) {
        page += EncodeName(f, c.name);
    }
    Add16(page, 0xFFFF);  // no per-column usage maps
    if (page.size() > f.pageSize) {
        throw std::invalid_argument("table definition larger than a page");
    }
    Put32(page, 8, static_cast<std::uint32_t>(page.size() - 8));
    if (f.jet4) {
        Put16(page, 2, static_cast<std::uint32_t>(f.pageSize - page.size() - 8));
    }
    page.resize(f.pageSize, '\0');
    return page;
}

Table CatalogTable() {
    return {"MSysObjects",
            {{"Id", Kind::kLong},
             {"ParentId", Kind::kLong},
             {"Name", Kind::kText},
             {"Type", Kind::kShort},
             {"Flags", Kind::kLong},
             {"LvProp", Kind::kOle}},
            {},
            true};
}

Table ToTable(const JetTable& in) {
    Table t{in.name, {}, in.rows};
    for (const JetColumn& c : in.columns) {
        t.columns.push_back(
            {c.name, c.type == JetColumn::Type::kLong ? Kind::kLong : Kind::kText, c.name == "Id"});
    }
    return t;
}

constexpr const char* kNullMark = "(null)";

// What mdb-export prints for `t` (MdbExport): texts as the file stores
// them in Jet 3, as UTF-8 in Jet 4.
std::string ExpectedExport(const Format& f, const JetTable& t) {
    const auto stored = [&f](const std::string& text) {
        return f.jet4 ? text : EncodeText(f, text);
    };
    std::string out;
    for (const JetColumn& c : t.columns) {
        out += (out.empty() ? "" : ",") + stored(c.name);
    }
    out += '\n';
    for (const JetRow& row : t.rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            out += c == 0 ? "" : ",";
            if (!row[c]) {
                out += kNullMark;
            } else if (const auto* n = std::get_if<std::int32_t>(&*row[c])) {
                out += std::to_string(*n);
            } else if (const std::string& text = std::get<std::string>(*row[c]); text.empty()) {
                out += kNullMark;
            } else {
                out += '"';
                for (const char ch : stored(text)) {
                    out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
                }
                out += '"';
            }
        }
        out += '\n';
    }
    return out;
}

// Standard output and standard error of mdb-export, in one. Jet 3 texts
// come byte for byte: its own conversion from Windows-1252 makes "?" of
// the bytes that code page leaves undefined.
std::string MdbExport(const Format& f, const std::string& path, const std::string& table) {
    const std::string raw = f.jet4 ? "" : "MDBICONV=ISO-8859-1 MDB_JET3_CHARSET=ISO-8859-1 ";
    const std::string command =
        raw + "mdb-export -0 '" + kNullMark + "' '" + path + "' '" + table + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) {
        throw std::runtime_error("cannot run " + command);
    }
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
        out.append(buffer, n);
    }
    return out;
}

}  // namespace

std::string WriteCheckedJetFile(const std::string& path, JetVersion version,
                                const std::vector<JetTable>& tables) {
    const std::string bytes = JetFileBytes(version, tables);
    WriteBytes(path, bytes);
    for (const JetTable& t : tables) {
        const std::string expected = ExpectedExport(FormatOf(version), t);
        const std::string exported = MdbExport(FormatOf(version), path, t.name);
        if (exported != expected) {
            throw std::runtime_error("mdb-export reads table " + t.name + " of " + path +
                                     " differently.\nExpected:\n" + expected.substr(0, 2000) +
                                     "\nmdb-export:\n" + exported.substr(0, 2000));
        }
    }
    return bytes;
}

std::size_t JetPageSize(JetVersion version) {
    return FormatOf(version).pageSize;
}

std::string JetFileBytes(JetVersion version, const std::vector<JetTable>& tables) {
    const Format& f = FormatOf(version);
    std::vector<Table> all{CatalogTable()};
    for (const JetTable& t : tables) {
        all.push_back(ToTable(t));
    }
    // Page numbers first: the catalog names each table by its definition
    // page, and each definition points to its usage maps.
    std::vector<std::vector<std::vector<std::string>>> packed;
    std::vector<std::uint32_t> tdefPage;
    std::uint32_t next = kCatalogPage;
    constexpr std::int32_t kTablesFolder = 0x0F000001;
    for (std::size_t i = 1; i < all.size(); ++i) {
        all[0].rows.push_back({JetValue(std::int32_t{0}), JetValue(kTablesFolder),
                               JetValue(all[i].name), JetValue(std::int32_t{1}),
                               JetValue(std::int32_t{0}), JetValue()});
    }
    for (Table& t : all) {
        std::vector<std::string> rows;
        for (const JetRow& row : t.rows) {
            rows.push_back(EncodeRow(f, t, row));
        }
        packed.push_back(PackRows(f, rows));
        tdefPage.push_back(next);
        next += 1 + static_cast<std::uint32_t>(packed.back().size());
    }
    for (std::size_t i = 1; i < all.size(); ++i) {
        all[0].rows[i - 1][0].emplace(static_cast<std::int32_t>(tdefPage[i]));
    }
    std::vector<std::string> rows;
    for (const JetRow& row : all[0].rows) {
        rows.push_back(EncodeRow(f, all[0], row));
    }
    packed[0] = PackRows(f, rows);

    std::vector<std::string> maps;
    std::string pages;
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::vector<std::uint32_t> dataPages;
        for (std::size_t d = 0; d < packed[i].size(); ++d) {
            dataPages.push_back(tdefPage[i] + 1 + static_cast<std::uint32_t>(d));
        }
        const auto usedRow = static_cast<std::uint32_t>(maps.size());
        maps.push_back(UsageMap(f, dataPages));
        maps.push_back(UsageMap(f, {}));
        pages +=
            TableDefinitionPage(f, all[i], kMapPage << 8 | usedRow, kMapPage << 8 | (usedRow + 1));
        for (const std::vector<std::string>& data : packed[i]) {
            pages += DataPage(f, tdefPage[i], data);
        }
    }
    return DatabasePage(f) + DataPage(f, 0, maps) + pages;
}

std::vector<JetTable> ProjectJetTables(bool withCreateFileExt) {
    using T = JetColumn::Type;
    JetTable project{"project",
                     {{"Id", T::kLong},
                      {"ProjectId", T::kLong},
                      {"ProjectName", T::kText},
                      {"TargetPath", T::kText},
                      {"SourcePath", T::kText},
                      {"DefCreateFileExt", T::kText}},
                     {}};
    JetTable files{"TPLFile",
                   {{"Id", T::kLong},
                    {"ProjectId", T::kLong},
                    {"TPLFileId", T::kLong},
                    {"TPLFileName", T::kText},
                    {"Selected", T::kLong},
                    {"SourcePath", T::kText},
                    {"TargetPath", T::kText},
                    {"CreateFile", T::kLong},
                    {"AlwaysParse", T::kLong},
                    {"SourceFromProject", T::kLong},
                    {"TargetFromProject", T::kLong}},
                   {}};
    if (withCreateFileExt) {
        files.columns.push_back({"CreateFileExt", T::kText});
    }
    return {project, files};
}

std::vector<JetTable> SampleProjectJetTables(int files, bool withCreateFileExt) {
    std::vector<JetTable> tables = ProjectJetTables(withCreateFileExt);
    const auto text = [](std::string t) { return JetValue(std::move(t)); };
    const auto number = [](std::int32_t n) { return JetValue(n); };
    const std::string source = "/srv/wüste/src";
    const std::string target = "/srv/wüste/out";
    tables[0].rows = {
        {number(1), number(1), text(kSampleProjectName), text(target), text(source), text("htm")},
        {number(2), number(2), text("Leer"), text(""), JetValue(), JetValue()},
        {number(7), number(5), text("Café d'Ämter"), text("/t"), text("/s"), text("html")},
    };
    // 250 characters: in Jet 3 a row past 255 bytes, which needs a jump
    // table.
    std::string longPath = "/";
    for (int k = 0; k < 249; ++k) {
        longPath += "ä";
    }
    for (int i = 0; i < files; ++i) {
        JetRow row{number(3 + 2 * i),
                   number(1),
                   number(i + 1),
                   text("seite_ä_" + std::to_string(i) + ".tpl"),
                   number(i % 2),
                   text(i == 0 ? longPath : source),
                   i % 3 == 0 ? JetValue() : text(target),
                   number(1),
                   number(i % 2),
                   number(1),
                   i == 1 ? JetValue() : number(0)};
        if (withCreateFileExt) {
            row.push_back(text(i % 5 == 0 ? "" : "htm"));
        }
        tables[1].rows.push_back(std::move(row));
    }
    return tables;
}

}  // namespace pellandrix::testkit
