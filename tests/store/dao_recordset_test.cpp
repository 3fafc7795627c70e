#include "store/dao_recordset.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/dao_exception.h"
#include "store_fixture.h"

namespace pellandrix {
namespace {

using testkit::RawQuery;

class DaoRecordsetTest : public ::testing::Test, public testkit::StoreFixture {
  protected:
    void SetUp() override {
        RawQuery(Path(),
                 "create table project (Id integer primary key autoincrement, ProjectId "
                 "integer, ProjectName text(255));"
                 "create index byProject on project (ProjectId);"
                 "insert into project (ProjectId, ProjectName) values (3, 'c'), (2, NULL), "
                 "(1, 'a');");
        db.Open(Path());
    }

    std::vector<int> ProjectIds(const std::string& sql) {
        CDaoRecordset recordset(db);
        recordset.Open(kDbOpenDynaset, sql);
        std::vector<int> ids;
        for (recordset.MoveFirst(); !recordset.IsEOF(); recordset.MoveNext()) {
            ids.push_back(std::get<std::int32_t>(recordset.GetFieldValue("ProjectId")));
        }
        return ids;
    }
};

TEST_F(DaoRecordsetTest, RowsComeInInsertionOrderUnlessTheSelectOrdersThem) {
    // The index on ProjectId would otherwise hand the rows out as 1, 2, 3.
    EXPECT_EQ(ProjectIds("select * from [project] where project.ProjectId > 0;"),
              (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(ProjectIds("select * from [project] order by ProjectId;"),
              (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(statements.front(), "select * from [project] where project.ProjectId > 0;");
}

TEST_F(DaoRecordsetTest, RecordCountTellsWhetherThereIsARow) {
    CDaoRecordset empty(db);
    empty.Open(kDbOpenDynaset, "select * from [project] where ProjectId = 9;");
    EXPECT_EQ(empty.GetRecordCount(), 0);
    EXPECT_TRUE(empty.IsEOF());

    CDaoRecordset some(db);
    some.Open(kDbOpenDynaset, "select * from [project];");
    EXPECT_GT(some.GetRecordCount(), 0);
    EXPECT_FALSE(some.IsEOF());
}

TEST_F(DaoRecordsetTest, FieldValuesAreIntegerTextOrNull) {
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from [project];");
    EXPECT_EQ(recordset.GetFieldValue("projectname"), COleVariant(std::string("c")));
    recordset.MoveNext();
    EXPECT_EQ(recordset.GetFieldValue("ProjectId"), COleVariant(std::int32_t{2}));
    EXPECT_EQ(recordset.GetFieldValue("ProjectName"), COleVariant(std::monostate{}));
    EXPECT_THROW(recordset.GetFieldValue("Missing"), CDaoException);
    recordset.MoveNext();
    recordset.MoveNext();
    EXPECT_TRUE(recordset.IsEOF());
    EXPECT_THROW(recordset.GetFieldValue("ProjectId"), CDaoException);
    recordset.MoveFirst();
    EXPECT_EQ(recordset.GetFieldValue("ProjectId"), COleVariant(std::int32_t{3}));
    // Opened again on other columns, a name finds its new place.
    recordset.Close();
    recordset.Open(kDbOpenDynaset, "select ProjectName, ProjectId from [project];");
    EXPECT_EQ(recordset.GetFieldValue("ProjectId"), COleVariant(std::int32_t{3}));
}

TEST_F(DaoRecordsetTest, ABadSelectLeavesTheRecordsetClosed) {
    CDaoRecordset recordset(db);
    try {
        recordset.Open(kDbOpenDynaset, "select * from [nothing];");
        FAIL() << "no exception";
    } catch (const CDaoException& e) {
        EXPECT_EQ(e.Code(), SQLITE_ERROR);
        EXPECT_NE(e.Message().find("nothing"), std::string::npos);
    }
    EXPECT_FALSE(recordset.IsOpen());
}

}  // namespace
}  // namespace pellandrix
