#include "store/table_base.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>

#include "store/dao_exception.h"
#include "store/dao_recordset.h"
#include "store/dao_tabledef.h"
#include "store/dao_transaction.h"
#include "store_fixture.h"

namespace pellandrix {
namespace {

using testkit::RawQuery;
using Rows = std::vector<std::vector<std::string>>;

// A record with one member of every kind.
struct AllKinds {
    int number = 0;
    int small = 0;
    double real = 0.0;
    FixedText<20> text;
    DateValue date;

    ColumnTable Columns() {
        return {
            ColumnDef::Integer("Number", number),
            {"Small", ColumnKind::ShortInteger, ColumnRole::Plain, &small},
            {"Real", ColumnKind::Double, ColumnRole::Plain, &real},
            ColumnDef::Text("Words", text),
            {"Day", ColumnKind::Date, ColumnRole::Plain, &date},
        };
    }
};

TEST(TableBaseListsTest, ListsFollowTheKindsTable) {
    AllKinds record;
    record.number = -7;
    record.small = 12;
    record.real = 2.5;
    record.text = R"(it's "C:\x"')";
    record.date = {2024, 3, 9};
    std::string out = "stale";
    CDaoTableBase::BuildColumnList(record.Columns(), out);
    EXPECT_EQ(out, "Number,Small,Real,Words,Day");
    CDaoTableBase::BuildValueList(record.Columns(), out);
    EXPECT_EQ(out, R"(-7,12,2.500000,'it''s "C:\x"''',20240309)");
    CDaoTableBase::BuildAssignmentList(record.Columns(), out);
    EXPECT_EQ(
        out, R"(Number = -7,Small = 12,Real = 2.500000,Words = 'it''s "C:\x"''',Day = '20240309')");
}

TEST(TableBaseListsTest, EmptyTextsOneColumnAndTheTerminator) {
    AllKinds record;
    ColumnTable columns = {ColumnDef::Text("Words", record.text),
                           {"", ColumnKind::Integer, ColumnRole::Plain, {}},
                           ColumnDef::Integer("Number", record.number)};
    std::string out;
    CDaoTableBase::BuildColumnList(columns, out);
    EXPECT_EQ(out, "Words");
    CDaoTableBase::BuildValueList(columns, out);
    EXPECT_EQ(out, "''");
    CDaoTableBase::BuildAssignmentList(columns, out);
    EXPECT_EQ(out, "Words = ''");
}

TEST(TableBaseListsTest, FieldInfoFollowsTheKindsTable) {
    AllKinds record;
    CDaoFieldInfo info;
    const ColumnTable columns = record.Columns();
    const long expected[][3] = {{kDbLong, 4, 33},
                                {kDbLong, 4, 33},
                                {kDbDouble, 8, 33},
                                {kDbText, 255, 34},
                                {kDbText, 10, 34}};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        ASSERT_TRUE(CDaoTableBase::MakeFieldInfo(columns[i], info));
        EXPECT_EQ(info.m_nType, expected[i][0]) << columns[i].Name;
        EXPECT_EQ(info.m_lSize, expected[i][1]) << columns[i].Name;
        EXPECT_EQ(info.m_lAttributes, expected[i][2]) << columns[i].Name;
    }
    ASSERT_TRUE(CDaoTableBase::MakeFieldInfo(CDaoTableBase::KeyColumn(), info));
    EXPECT_EQ(info.m_lAttributes, 17);
    const ColumnDef odd{"Odd", static_cast<ColumnKind>(6), ColumnRole::Plain, {}};
    EXPECT_FALSE(CDaoTableBase::MakeFieldInfo(odd, info));
}

class TableBaseDbTest : public ::testing::Test, public testkit::StoreFixture {
  protected:
    void SetUp() override { db.Create(Path()); }
};

TEST_F(TableBaseDbTest, EveryKindSurvivesARoundTrip) {
    AllKinds written;
    written.number = -70000;
    written.small = -3;
    written.real = 0.125;
    written.text = "abc";
    written.date = {1999, 12, 31};
    CDaoTableBase::CreateTable(db, "Kinds", written.Columns());
    std::string names;
    std::string values;
    CDaoTableBase::BuildColumnList(written.Columns(), names);
    CDaoTableBase::BuildValueList(written.Columns(), values);
    db.Execute("insert into [Kinds] (" + names + ") values (" + values + ");");

    AllKinds read;
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from [Kinds];");
    ASSERT_TRUE(CDaoTableBase::ReadRow(read.Columns(), recordset));
    EXPECT_EQ(read.number, -70000);
    EXPECT_EQ(read.small, -3);
    EXPECT_EQ(read.real, 0.125);
    EXPECT_EQ(read.text, "abc");
    EXPECT_EQ(read.date, (DateValue{1999, 12, 31}));
}

// Texts made of what means something to SQL, to the statement cache's
// lexer or to printf, written as value lists through this layer and through
// a plain connection: both must store exactly the text given.
TEST_F(TableBaseDbTest, TextLiteralsStoreEveryTextExactly) {
    const char* const pieces[] = {"'",  "''", "\"", "\\",      "?",          ";", "%s", "--",
                                  "/*", "\n", "ä",  " where ", " order by ", "😀", "x"};
    std::mt19937 random(16);
    FixedText<256> text;
    const ColumnTable columns{ColumnDef::Text("Words", text)};
    CDaoTableBase::CreateTable(db, "Kinds", columns);
    RawQuery(Path(), "create table raw (Id integer primary key, Words text);");
    Rows typed;
    std::string rawSql = "begin;";
    CDaoTransaction transaction(db);
    for (int i = 0; i < 300; ++i) {
        std::string value;
        for (unsigned n = random() % 7; n > 0; --n) {
            value += pieces[random() % std::size(pieces)];
        }
        text = value;
        typed.push_back({value});
        std::string values;
        CDaoTableBase::BuildValueList(columns, values);
        db.Execute("insert into [Kinds] (Words) values (" + values + ");");
        rawSql += "insert into raw (Words) values (" + values + ");";
    }
    transaction.Commit();
    RawQuery(Path(), rawSql + "commit;");
    EXPECT_EQ(RawQuery(Path(), "select Words from Kinds"), typed);
    EXPECT_EQ(RawQuery(Path(), "select Words from raw"), typed);
}

TEST_F(TableBaseDbTest, NullsReadAsZeroEmptyTextAndDateZero) {
    AllKinds shape;
    CDaoTableBase::CreateTable(db, "Kinds", shape.Columns());
    db.Execute("insert into [Kinds] (Number) values (NULL);");
    AllKinds read;
    read.number = read.small = 5;
    read.real = 5;
    read.text = "old";
    read.date = {2000, 1, 1};
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from [Kinds];");
    CDaoTableBase::ReadRow(read.Columns(), recordset);
    EXPECT_EQ(read.number, 0);
    EXPECT_EQ(read.small, 0);
    EXPECT_EQ(read.real, 0.0);
    EXPECT_EQ(read.text, "");
    EXPECT_EQ(read.date, DateValue{});
}

TEST_F(TableBaseDbTest, ShortIntegersAreSignExtendedAndLongTextsCut) {
    RawQuery(Path(),
             "create table t (Id integer primary key, Small integer, Words text);"
             "insert into t (Small, Words) values (65535, '0123456789abcdefghijklmn');");
    AllKinds read;
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from t;");
    CDaoTableBase::ReadRow({read.Columns()[1], read.Columns()[3]}, recordset);
    EXPECT_EQ(read.small, -1);
    EXPECT_EQ(read.text, "0123456789abcdefghi");
}

TEST_F(TableBaseDbTest, TableAndColumnNamesCompareCaseSensitively) {
    AllKinds shape;
    CDaoTableBase::CreateTable(db, "Project", shape.Columns());
    EXPECT_TRUE(CDaoTableBase::TableExists(db, "Project"));
    EXPECT_FALSE(CDaoTableBase::TableExists(db, "project"));
    CDaoTableDef tableDef(db);
    tableDef.Open("Project");
    EXPECT_TRUE(CDaoTableBase::ColumnExists(tableDef, "Words"));
    EXPECT_FALSE(CDaoTableBase::ColumnExists(tableDef, "words"));
    EXPECT_TRUE(CDaoTableBase::ColumnExists(tableDef, "Id"));
}

TEST_F(TableBaseDbTest, CreatedTableHasIdFirstAndItsPrimaryIndex) {
    AllKinds shape;
    CDaoTableBase::CreateTable(db, "Kinds", shape.Columns());
    CDaoTableBase::CreateTable(db, "Other", {ColumnDef::Integer("Number", shape.number)});
    EXPECT_EQ(RawQuery(Path(), "select name, type, pk from pragma_table_info('Kinds')"),
              (Rows{{"Id", "INTEGER", "1"},
                    {"Number", "INTEGER", "0"},
                    {"Small", "INTEGER", "0"},
                    {"Real", "DOUBLE", "0"},
                    {"Words", "TEXT(255)", "0"},
                    {"Day", "TEXT(10)", "0"}}));

    CDaoTableDef tableDef(db);
    tableDef.Open("Other");
    ASSERT_EQ(tableDef.GetIndexCount(), 1);
    CDaoIndexInfo index;
    tableDef.GetIndexInfo(0, index);
    EXPECT_EQ(index.m_strName, "PrimaryIndex");
    ASSERT_EQ(index.m_fields.size(), 1u);
    EXPECT_EQ(index.m_fields[0].m_strName, "Id");
    EXPECT_FALSE(index.m_fields[0].m_bDescending);
    EXPECT_TRUE(index.m_bPrimary);
    EXPECT_TRUE(index.m_bUnique);
    CDaoFieldInfo field;
    tableDef.GetFieldInfo(0, field);
    EXPECT_EQ(field.m_lAttributes, 17);
}

TEST_F(TableBaseDbTest, IdsAreNeverReused) {
    AllKinds shape;
    CDaoTableBase::CreateTable(db, "Kinds", shape.Columns());
    db.Execute("insert into [Kinds] (Number) values (1);");
    db.Execute("insert into [Kinds] (Number) values (2);");
    db.Execute("delete * from [Kinds] where Number = 2;");
    db.Execute("insert into [Kinds] (Number) values (3);");
    EXPECT_EQ(RawQuery(Path(), "select Id from Kinds"), (Rows{{"1"}, {"3"}}));
}

TEST_F(TableBaseDbTest, EnsureTableAddsMissingColumnsAndKeepsTheRest) {
    RawQuery(Path(),
             "create table Kinds (Id integer primary key autoincrement, Words text(255), "
             "Extra text);"
             "insert into Kinds (Words, Extra) values ('w', 'e');");
    AllKinds shape;
    CDaoTableBase::EnsureTable(db, "Kinds", shape.Columns());
    CDaoTableBase::EnsureTable(db, "Fresh", shape.Columns());
    EXPECT_EQ(RawQuery(Path(), "select name from pragma_table_info('Kinds')"),
              (Rows{{"Id"}, {"Words"}, {"Extra"}, {"Number"}, {"Small"}, {"Real"}, {"Day"}}));
    EXPECT_EQ(RawQuery(Path(), "select Id, Words, Extra, Number, Day from Kinds"),
              (Rows{{"1", "w", "e", "NULL", "NULL"}}));
    EXPECT_EQ(RawQuery(Path(), "select count(*) from pragma_table_info('Fresh')")[0][0], "6");
}

TEST_F(TableBaseDbTest, EnsureTableAddsMissingLookupIndexesAfterTheColumns) {
    RawQuery(Path(),
             "create table Kinds (Id integer primary key autoincrement, Words text(255));"
             "create index Named_Kinds on Kinds (Words);"
             "insert into Kinds (Words) values ('w'), ('w');");
    AllKinds shape;
    // "Named" exists already, on another column than asked: it stays as it
    // is. "ByNumber" covers columns the table gains in the same call.
    const LookupIndexes lookups{{"Named", {"Id", "Words"}}, {"ByNumber", {"Number", "Small"}}};
    CDaoTableBase::EnsureTable(db, "Kinds", shape.Columns(), lookups);
    CDaoTableBase::EnsureTable(db, "Kinds", shape.Columns(), lookups);

    CDaoTableDef tableDef(db);
    tableDef.Open("Kinds");
    ASSERT_EQ(tableDef.GetIndexCount(), 2);
    CDaoIndexInfo index;
    tableDef.GetIndexInfo(0, index);
    EXPECT_EQ(index.m_strName, "Named");
    ASSERT_EQ(index.m_fields.size(), 1u);
    EXPECT_EQ(index.m_fields[0].m_strName, "Words");
    tableDef.GetIndexInfo(1, index);
    EXPECT_EQ(index.m_strName, "ByNumber");
    EXPECT_FALSE(index.m_bUnique);
    ASSERT_EQ(index.m_fields.size(), 2u);
    EXPECT_EQ(index.m_fields[0].m_strName, "Number");
    EXPECT_EQ(index.m_fields[1].m_strName, "Small");
    EXPECT_EQ(RawQuery(Path(), "select Id, Words from Kinds"), (Rows{{"1", "w"}, {"2", "w"}}));
    // What an open definition adds, it reports from then on.
    CDaoFieldInfo field;
    field.m_strName = "Later";
    field.m_nType = kDbLong;
    tableDef.CreateField(field);
    EXPECT_TRUE(CDaoTableBase::ColumnExists(tableDef, "Later"));
    CDaoIndexInfo later;
    later.m_strName = "ByLater";
    later.m_fields = {{"Later", false}};
    tableDef.CreateIndex(later);
    EXPECT_TRUE(CDaoTableBase::IndexExists(tableDef, "ByLater"));
}

TEST_F(TableBaseDbTest, CreateTableWithAFailingLookupIndexLeavesNoTable) {
    AllKinds shape;
    EXPECT_THROW(
        CDaoTableBase::CreateTable(db, "Kinds", shape.Columns(), {{"Bad", {"NoSuchColumn"}}}),
        CDaoException);
    EXPECT_FALSE(CDaoTableBase::TableExists(db, "Kinds"));
}

}  // namespace
}  // namespace pellandrix
