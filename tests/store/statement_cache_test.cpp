#include "store/statement_cache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/dao_exception.h"
#include "store/dao_recordset.h"
#include "store_fixture.h"

namespace pellandrix {
namespace {

using testkit::RawQuery;
using Rows = std::vector<std::vector<std::string>>;

SqlShape Shape(std::string_view sql) {
    SqlShape shape;
    EXPECT_TRUE(ShapeOf(sql, shape)) << sql;
    return shape;
}

TEST(ShapeOfTest, LiftsTheValuesOfTheStoresStatements) {
    SqlShape insert =
        Shape("insert into [project] (ProjectId,ProjectName) values (3,'Tom''s \"?\" where');");
    EXPECT_EQ(insert.text, "insert into [project] (ProjectId,ProjectName) values (?,?);");
    EXPECT_EQ(insert.literals, (std::vector<SqlLiteral>{3, std::string("Tom's \"?\" where")}));

    SqlShape update = Shape(
        "update [TPLFile] set TPLFileId = -8,TPLFileName = '' where TPLFile.ProjectId = 2 and "
        "TPLFile.TPLFileId = 007;");
    EXPECT_EQ(update.text,
              "update [TPLFile] set TPLFileId = -?,TPLFileName = ? where TPLFile.ProjectId = ? "
              "and TPLFile.TPLFileId = ?;");
    EXPECT_EQ(update.literals, (std::vector<SqlLiteral>{8, std::string(), 2, 7}));

    EXPECT_EQ(Shape("delete from [TPLFile] where ProjectId = 1;").text,
              "delete from [TPLFile] where ProjectId = ?;");
}

// Keywords are matched in any case but only as whole words; names may
// hold non-ASCII letters, and apostrophes doubled at a literal's end stay
// inside it.
TEST(ShapeOfTest, FindsKeywordsInAnyCaseAndOnlyAsWholeWords) {
    SqlShape update = Shape("UPDATE t SET Größe = 5,whereby = 'it''s''' WhErE Id = 3;");
    EXPECT_EQ(update.text, "UPDATE t SET Größe = ?,whereby = ? WhErE Id = ?;");
    EXPECT_EQ(update.literals, (std::vector<SqlLiteral>{5, std::string("it's'"), 3}));

    SqlShape select = Shape("Select 1 From t Where x = 2 GrOuP By 1;");
    EXPECT_EQ(select.text, "Select 1 From t Where x = ? GrOuP By 1;");

    SqlShape notYet;
    EXPECT_FALSE(ShapeOf("selected 1", notYet));
    EXPECT_EQ(Shape("select 7 from t setting where 8;").text, "select 7 from t setting where ?;");
}

// Integers that name result columns, and literals that give a result
// column its name, mean something else as parameters.
TEST(ShapeOfTest, KeepsLiteralsWhoseMeaningABoundValueWouldChange) {
    SqlShape select = Shape("select 1, 'a' from t where x = 2 group by 1 order by 2, 'b';");
    EXPECT_EQ(select.text, "select 1, 'a' from t where x = ? group by 1 order by 2, 'b';");
    EXPECT_EQ(select.literals, (std::vector<SqlLiteral>{2}));
    EXPECT_EQ(Shape("select * from [project] order by Id;").literals.size(), 0u);
}

TEST(ShapeOfTest, RefusesWhatItCannotBindFaithfully) {
    for (const char* sql : {
             "create table t (a text(255))",
             "pragma user_version = 1",
             "update t set a = 1.5",
             "update t set a = .5",
             "update t set a = 0x1F",
             "update t set a = 1e5",
             "update t set a = x'00'",
             "update t set a = 99999999999999999999",
             "update t set a = 'open",
             "update t set a = ?",
             "update t set a = :name",
             "update t set a = 1 -- note",
             "update t set a = 1 /* note */",
         }) {
        SqlShape shape;
        EXPECT_FALSE(ShapeOf(sql, shape)) << sql;
    }
}

class StatementCacheTest : public ::testing::Test, public testkit::StoreFixture {
  protected:
    void SetUp() override {
        db.Create(Path());
        db.Execute("create table t (Id integer primary key, n integer, s text(255));");
    }

    // Prepared statements the connection holds right now.
    std::vector<sqlite3_stmt*> LiveStatements() const {
        std::vector<sqlite3_stmt*> out;
        for (sqlite3_stmt* s = sqlite3_next_stmt(db.Handle(), nullptr); s != nullptr;
             s = sqlite3_next_stmt(db.Handle(), s)) {
            out.push_back(s);
        }
        return out;
    }
};

// The same statements through the layer and through a plain connection
// must store the same values with the same types.
TEST_F(StatementCacheTest, BoundValuesStoreWhatTheLiteralsWould) {
    const std::vector<std::string> values = {"-7",      "007",  "'12'",    "''",
                                             "'it''s'", "'?;'", "'where'", "9223372036854775807"};
    RawQuery(Path(), "create table raw (Id integer primary key, n integer, s text(255));");
    for (const std::string& value : values) {
        db.Execute("insert into t (n, s) values (" + value + ", " + value + ");");
        RawQuery(Path(), "insert into raw (n, s) values (" + value + ", " + value + ");");
    }
    db.Execute("update t set s = 'x' where n = 12 or s = 'it''s';");
    RawQuery(Path(), "update raw set s = 'x' where n = 12 or s = 'it''s';");
    const std::string read = "select typeof(n), n, typeof(s), s from ";
    EXPECT_EQ(RawQuery(Path(), read + "t"), RawQuery(Path(), read + "raw"));
}

TEST_F(StatementCacheTest, StatementsOfOneShapeCompileOnce) {
    for (int i = 1; i < 50; ++i) {
        db.Execute("insert into t (n, s) values (" + std::to_string(i) + ", 'v');");
    }
    const std::vector<sqlite3_stmt*> live = LiveStatements();
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(sqlite3_stmt_status(live[0], SQLITE_STMTSTATUS_RUN, 0), 49);
    EXPECT_EQ(RawQuery(Path(), "select count(*), sum(n) from t"), (Rows{{"49", "1225"}}));
}

TEST_F(StatementCacheTest, OpenRecordsetsOfOneShapeKeepTheirOwnRows) {
    db.Execute("insert into t (n, s) values (1, 'one');");
    db.Execute("insert into t (n, s) values (2, 'two');");
    CDaoRecordset one(db);
    one.Open(kDbOpenDynaset, "select * from t where n = 1;");
    CDaoRecordset two(db);
    two.Open(kDbOpenDynaset, "select * from t where n = 2;");
    EXPECT_EQ(std::get<std::string>(one.GetFieldValue("s")), "one");
    EXPECT_EQ(std::get<std::string>(two.GetFieldValue("s")), "two");
    one.MoveNext();
    EXPECT_TRUE(one.IsEOF());
    EXPECT_FALSE(two.IsEOF());
}

TEST_F(StatementCacheTest, AFailedRunLeavesTheShapeUsable) {
    db.Execute("create unique index OneN on t (n);");
    db.Execute("insert into t (n, s) values (1, 'a');");
    EXPECT_THROW(db.Execute("insert into t (n, s) values (1, 'b');"), CDaoException);
    db.Execute("insert into t (n, s) values (2, 'c');");
    EXPECT_EQ(RawQuery(Path(), "select n, s from t"), (Rows{{"1", "a"}, {"2", "c"}}));
}

TEST_F(StatementCacheTest, ARecordsetMayOutliveItsDatabasesConnection) {
    db.Execute("insert into t (n, s) values (1, 'a');");
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from t where n = 1;");
    db.Close();
    recordset.Close();
    EXPECT_FALSE(recordset.IsOpen());
}

}  // namespace
}  // namespace pellandrix
