#include "store/table_base.h"

#include <sqlite3.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "store/dao_database.h"
#include "store/dao_exception.h"
#include "store/dao_recordset.h"
#include "store/dao_tabledef.h"
#include "store/sqlite_statement.h"
#include "support/string_table.h"

namespace pellandrix {

namespace {

constexpr const char* kPrimaryIndex = "PrimaryIndex";

// Visits the columns up to the first one without a name.
template <typename Visit>
void ForEachColumn(const ColumnTable& columns, Visit visit) {
    for (const ColumnDef& column : columns) {
        if (column.Name.empty()) {
            return;
        }
        visit(column);
    }
}

int IntOf(const ColumnDef& column) {
    const auto* member = std::get_if<int*>(&column.Storage);
    return member != nullptr ? **member : 0;
}

// std::to_chars never looks at the C locale; "%f" would write a decimal
// comma into the SQL under a German LC_NUMERIC.
std::string FixedSix(double value) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

std::string EightDigits(const DateValue& date) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", date.year, date.month, date.day);
    return buffer;
}

// The text in apostrophes, each apostrophe of it doubled, nothing else
// escaped: SQL reads it back as exactly the text, so a path or name is
// stored as typed.
std::string QuotedText(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    for (const char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    out += '\'';
    return out;
}

// The literal of a column as it appears in a value list.
std::string Literal(const ColumnDef& column) {
    switch (column.Kind) {
        case ColumnKind::Integer:
        case ColumnKind::ShortInteger:
            return std::to_string(IntOf(column));
        case ColumnKind::Double: {
            const auto* member = std::get_if<double*>(&column.Storage);
            return FixedSix(member != nullptr ? **member : 0.0);
        }
        case ColumnKind::Text: {
            const auto* member = std::get_if<TextBinding>(&column.Storage);
            return QuotedText(member != nullptr ? member->Get() : std::string());
        }
        case ColumnKind::Date: {
            const auto* member = std::get_if<DateValue*>(&column.Storage);
            return EightDigits(member != nullptr ? **member : DateValue{});
        }
    }
    return std::string();
}

void Join(std::string& out, const std::string& entry) {
    if (!out.empty()) {
        out += ',';
    }
    out += entry;
}

std::int64_t ToInteger(const COleVariant& value) {
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return *number;
    }
    if (const auto* real = std::get_if<double>(&value)) {
        return static_cast<std::int64_t>(*real);
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return std::strtoll(text->c_str(), nullptr, 10);
    }
    return 0;  // Null: a column added after the row was stored
}

double ToDouble(const COleVariant& value) {
    if (const auto* real = std::get_if<double>(&value)) {
        return *real;
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return std::strtod(text->c_str(), nullptr);
    }
    return static_cast<double>(ToInteger(value));
}

std::string ToText(const COleVariant& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* real = std::get_if<double>(&value)) {
        return FixedSix(*real);
    }
    return std::string();  // Null reads as the empty text
}

// Eight digits yyyymmdd, read without checks; a missing digit counts as 0.
DateValue ToDate(const COleVariant& value) {
    if (std::holds_alternative<std::monostate>(value)) {
        return DateValue{};
    }
    const std::string text = ToText(value);
    auto digit = [&text](std::size_t i) { return i < text.size() ? text[i] - '0' : 0; };
    return DateValue{1000 * digit(0) + 100 * digit(1) + 10 * digit(2) + digit(3),
                     10 * digit(4) + digit(5), 10 * digit(6) + digit(7)};
}

struct RowReader {
    const COleVariant& value;
    ColumnKind kind;

    void operator()(std::monostate) const {}
    void operator()(int* member) const {
        const std::int64_t number = ToInteger(value);
        *member = kind == ColumnKind::ShortInteger ? static_cast<std::int16_t>(number)
                                                   : static_cast<std::int32_t>(number);
    }
    void operator()(const TextBinding& member) const { member.Set(ToText(value)); }
    void operator()(double* member) const { *member = ToDouble(value); }
    void operator()(DateValue* member) const { *member = ToDate(value); }
};

CDaoIndexInfo PrimaryIndexInfo() {
    CDaoIndexInfo info;
    info.m_strName = kPrimaryIndex;
    info.m_fields.push_back({CDaoTableBase::KeyColumn().Name, false});
    info.m_bPrimary = true;
    info.m_bUnique = true;
    info.m_bRequired = true;
    return info;
}

CDaoIndexInfo LookupIndexInfo(const LookupIndex& lookup) {
    CDaoIndexInfo info;
    info.m_strName = lookup.Name;
    for (const std::string& column : lookup.Columns) {
        info.m_fields.push_back({column, false});
    }
    return info;
}

// The SQL condition that holds when a row's value of `column` is one the
// bound member cannot take as it is; empty for kinds that take any value.
// An integer column takes what reads as the same 32-bit integer: an
// integer, and also a whole real or the digits of one as text, which a
// table made by another tool may hold. Short integers are held in 32 bits
// too and only shown sign-extended, so they share that range.
std::string UnfitCondition(const ColumnDef& column) {
    const std::string name = "\"" + column.Name + "\"";
    if (column.Kind == ColumnKind::Integer || column.Kind == ColumnKind::ShortInteger) {
        const std::string whole = "cast(" + name + " as integer)";
        return name + " is not null and not (" + name + " = " + whole + " and " + whole +
               " between " + std::to_string(std::numeric_limits<std::int32_t>::min()) + " and " +
               std::to_string(std::numeric_limits<std::int32_t>::max()) + ")";
    }
    const auto* text = std::get_if<TextBinding>(&column.Storage);
    if (column.Kind == ColumnKind::Text && text != nullptr) {
        // The member's width is in characters; a text has at least as many
        // bytes, so only those with more bytes are counted.
        const std::string max = std::to_string(text->MaxLength());
        return "length(cast(" + name + " as blob)) > " + max + " and text_width(" + name + ") > " +
               max;
    }
    return std::string();
}

void CreateField(CDaoTableDef& tableDef, const ColumnDef& column) {
    CDaoFieldInfo info;
    if (CDaoTableBase::MakeFieldInfo(column, info)) {
        tableDef.CreateField(info);
    }
}

}  // namespace

const ColumnDef& CDaoTableBase::KeyColumn() {
    static const ColumnDef key{"Id", ColumnKind::Integer, ColumnRole::AutoNumber, {}};
    return key;
}

void CDaoTableBase::BuildColumnList(const ColumnTable& columns, std::string& out) {
    out.clear();
    ForEachColumn(columns, [&out](const ColumnDef& column) { Join(out, column.Name); });
}

void CDaoTableBase::BuildValueList(const ColumnTable& columns, std::string& out) {
    out.clear();
    ForEachColumn(columns, [&out](const ColumnDef& column) { Join(out, Literal(column)); });
}

void CDaoTableBase::BuildAssignmentList(const ColumnTable& columns, std::string& out) {
    out.clear();
    // Appended piece by piece: a save builds one of these per record.
    ForEachColumn(columns, [&out](const ColumnDef& column) {
        if (!out.empty()) {
            out += ',';
        }
        out += column.Name;
        out += " = ";
        const bool quoted = column.Kind == ColumnKind::Date;
        if (quoted) {
            out += '\'';
        }
        out += Literal(column);
        if (quoted) {
            out += '\'';
        }
    });
}

bool CDaoTableBase::ReadRow(const ColumnTable& columns, const CDaoRecordset& recordset) {
    ForEachColumn(columns, [&recordset](const ColumnDef& column) {
        if (std::holds_alternative<std::monostate>(column.Storage)) {
            return;
        }
        const COleVariant value = recordset.GetFieldValue(column.Name);
        std::visit(RowReader{value, column.Kind}, column.Storage);
    });
    return true;
}

bool CDaoTableBase::TableExists(CDaoDatabase& db, std::string_view name) {
    const int count = db.GetTableDefCount();
    CDaoTableDefInfo info;
    for (int i = 0; i < count; ++i) {
        db.GetTableDefInfo(i, info);
        if (info.m_strName == name) {
            return true;
        }
    }
    return false;
}

bool CDaoTableBase::ColumnExists(CDaoTableDef& tableDef, std::string_view name) {
    const int count = tableDef.GetFieldCount();
    CDaoFieldInfo info;
    for (int i = 0; i < count; ++i) {
        tableDef.GetFieldInfo(i, info);
        if (info.m_strName == name) {
            return true;
        }
    }
    return false;
}

bool CDaoTableBase::IndexExists(CDaoTableDef& tableDef, std::string_view name) {
    const int count = tableDef.GetIndexCount();
    CDaoIndexInfo info;
    for (int i = 0; i < count; ++i) {
        tableDef.GetIndexInfo(i, info);
        if (info.m_strName == name) {
            return true;
        }
    }
    return false;
}

bool CDaoTableBase::MakeFieldInfo(const ColumnDef& column, CDaoFieldInfo& info) {
    info = CDaoFieldInfo{};
    info.m_strName = column.Name;
    switch (column.Kind) {
        case ColumnKind::Integer:
        case ColumnKind::ShortInteger:
            info.m_nType = kDbLong;
            info.m_lSize = 4;
            info.m_lAttributes = column.Role == ColumnRole::AutoNumber
                                     ? kDbFixedField | kDbAutoIncrField
                                     : kDbFixedField | kDbUpdatableField;
            return true;
        case ColumnKind::Double:
            info.m_nType = kDbDouble;
            info.m_lSize = 8;
            info.m_lAttributes = kDbFixedField | kDbUpdatableField;
            return true;
        case ColumnKind::Text:
        case ColumnKind::Date:
            info.m_nType = kDbText;
            info.m_lSize = column.Kind == ColumnKind::Text ? 255 : 10;
            info.m_lAttributes = kDbVariableField | kDbUpdatableField;
            info.m_bAllowZeroLength = true;
            return true;
    }
    return false;
}

bool CDaoTableBase::CreateTable(CDaoDatabase& db, const std::string& name,
                                const ColumnTable& columns, const LookupIndexes& lookups) {
    CDaoTableDef tableDef(db);
    tableDef.Create(name);
    CreateField(tableDef, KeyColumn());
    ForEachColumn(columns, [&tableDef](const ColumnDef& column) { CreateField(tableDef, column); });
    tableDef.CreateIndex(PrimaryIndexInfo());
    for (const LookupIndex& lookup : lookups) {
        tableDef.CreateIndex(LookupIndexInfo(lookup));
    }
    tableDef.Append();
    tableDef.Close();
    return true;
}

bool CDaoTableBase::EnsureTable(CDaoDatabase& db, const std::string& name,
                                const ColumnTable& columns, const LookupIndexes& lookups) {
    if (!TableExists(db, name)) {
        CreateTable(db, name, columns, lookups);
    }
    CDaoTableDef tableDef(db);
    tableDef.Open(name);
    ForEachColumn(columns, [&tableDef](const ColumnDef& column) {
        if (!ColumnExists(tableDef, column.Name)) {
            CreateField(tableDef, column);
        }
    });
    // After the columns: an index may cover a column just added.
    for (const LookupIndex& lookup : lookups) {
        if (!IndexExists(tableDef, lookup.Name)) {
            tableDef.CreateIndex(LookupIndexInfo(lookup));
        }
    }
    tableDef.Close();
    return true;
}

void CDaoTableBase::CheckRows(CDaoDatabase& db, const std::string& name,
                              const ColumnTable& columns) {
    if (!TableExists(db, name)) {
        return;
    }
    CDaoTableDef tableDef(db);
    tableDef.Open(name);
    std::string cases;
    ForEachColumn(columns, [&](const ColumnDef& column) {
        const std::string unfit = UnfitCondition(column);
        if (!unfit.empty() && ColumnExists(tableDef, column.Name)) {
            cases += " when " + unfit + " then '" + column.Name + "'";
        }
    });
    if (cases.empty()) {
        return;
    }
    // One pass over the table; the layer's own statement, so it stays out
    // of the statement trace.
    SqliteStatement query(db.Handle(), "select row, unfit from (select rowid as row, case" + cases +
                                           " end as unfit from \"" + name +
                                           "\") where unfit is not null order by row limit 1");
    if (query.Step()) {
        ThrowLayerError(SQLITE_MISMATCH,
                        FormatMessage(MessageId::kRowNotRepresentable,
                                      name + "." + query.ColumnText(1), query.ColumnText(0)));
    }
}

int CDaoTableBase::NextKey(int counter, std::string_view table) {
    if (counter == std::numeric_limits<int>::max()) {
        ThrowLayerError(SQLITE_FULL,
                        FormatMessage(MessageId::kNoFreeId, table, std::to_string(counter)));
    }
    return counter + 1;
}

}  // namespace pellandrix
