#include "store/dao_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "store/dao_exception.h"
#include "store/dao_transaction.h"
#include "store_fixture.h"
#include "testkit/files.h"

namespace pellandrix {
namespace {

using testkit::RawQuery;
using testkit::ReadBytes;
using testkit::WriteBytes;

class DaoDatabaseTest : public ::testing::Test, public testkit::StoreFixture {};

int CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CDaoException& e) {
        return e.Code();
    }
    return SQLITE_OK;
}

// A valid database with one table and some rows, made by plain SQLite.
std::string MakeSampleDatabase(const std::string& path) {
    RawQuery(path,
             "create table t (Id integer primary key, v text);"
             "insert into t (v) values ('a'), ('b'), ('c');");
    return ReadBytes(path);
}

TEST_F(DaoDatabaseTest, CreateMakesADatabaseFileAndRefusesAnExistingOne) {
    db.Create(Path());
    EXPECT_TRUE(db.IsOpen());
    db.Execute("create table t (x integer)");
    db.Close();
    EXPECT_EQ(RawQuery(Path(), "select count(*) from sqlite_master")[0][0], "1");

    WriteBytes(dir / "other.txt", "keep me");
    CDaoDatabase second;
    EXPECT_EQ(CodeOf([&] { second.Create(dir / "other.txt"); }), SQLITE_CANTOPEN);
    EXPECT_EQ(ReadBytes(dir / "other.txt"), "keep me");
    EXPECT_FALSE(second.IsOpen());
}

TEST_F(DaoDatabaseTest, CreateFailsWithoutParentDirectoryAndWithAnotherLocale) {
    EXPECT_EQ(CodeOf([&] { db.Create(dir / "missing/Pellandrix.mdb"); }), SQLITE_CANTOPEN);
    EXPECT_EQ(CodeOf([&] { db.Create(Path(), ";LANGID=0x0407;CP=1252;COUNTRY=0"); }),
              SQLITE_MISUSE);
    EXPECT_FALSE(testkit::Exists(Path()));
}

TEST_F(DaoDatabaseTest, OpenNeverCreatesAMissingFile) {
    EXPECT_EQ(CodeOf([&] { db.Open(Path()); }), SQLITE_CANTOPEN);
    EXPECT_FALSE(testkit::Exists(Path()));
    EXPECT_FALSE(db.IsOpen());
}

TEST_F(DaoDatabaseTest, OpenRejectsFilesThatAreNotDatabasesAndLeavesThemAlone) {
    const std::string text = "[database]\r\ndatabase_name=x\r\n";
    WriteBytes(Path(), text);
    EXPECT_EQ(CodeOf([&] { db.Open(Path()); }), SQLITE_NOTADB);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(ReadBytes(Path()), text);
}

TEST_F(DaoDatabaseTest, OpenRejectsDamagedDatabasesAndLeavesThemAlone) {
    const std::string good = MakeSampleDatabase(dir / "good.db");
    ASSERT_GE(good.size(), 8192u);

    // Cut inside the second page: the table's rows are gone.
    const std::string truncated = good.substr(0, 4096 + 100);
    WriteBytes(dir / "truncated.db", truncated);
    EXPECT_NE(CodeOf([&] { db.Open(dir / "truncated.db"); }), SQLITE_OK);
    EXPECT_EQ(ReadBytes(dir / "truncated.db"), truncated);

    // The table's page overwritten with garbage.
    std::string garbled = good;
    for (std::size_t i = 4096; i < 8192; ++i) {
        garbled[i] = static_cast<char>(i * 7);
    }
    WriteBytes(dir / "garbled.db", garbled);
    EXPECT_EQ(CodeOf([&] { db.Open(dir / "garbled.db"); }), SQLITE_CORRUPT);
    EXPECT_EQ(ReadBytes(dir / "garbled.db"), garbled);
    EXPECT_FALSE(db.IsOpen());
}

TEST_F(DaoDatabaseTest, OpenRefusesAFileThatCannotBeWritten) {
    MakeSampleDatabase(Path());
    std::filesystem::permissions(Path(), std::filesystem::perms::owner_read);
    if (::access(Path().c_str(), W_OK) == 0) {
        GTEST_SKIP() << "running with rights that ignore file permissions";
    }
    EXPECT_EQ(CodeOf([&] { db.Open(Path()); }), SQLITE_READONLY);
}

TEST_F(DaoDatabaseTest, ExecuteFailsWholeAndRunsOneStatementOnly) {
    db.Create(Path());
    db.Execute("create table t (Id integer primary key, v integer not null)");
    db.Execute("insert into t (v) values (1)");
    EXPECT_EQ(CodeOf([&] { db.Execute("insert into t (v) values (2), (NULL)"); }),
              SQLITE_CONSTRAINT);
    EXPECT_EQ(RawQuery(Path(), "select count(*) from t")[0][0], "1");

    EXPECT_EQ(CodeOf([&] { db.Execute("insert into t (v) values (3); delete from t"); }),
              SQLITE_MISUSE);
    EXPECT_EQ(RawQuery(Path(), "select count(*) from t")[0][0], "1");
    EXPECT_EQ(statements.size(), 4u);  // the failed ones are traced too
}

TEST_F(DaoDatabaseTest, DeleteStarIsTranslatedInsideTheLayer) {
    db.Create(Path());
    db.Execute("create table [project] (Id integer primary key, ProjectId integer)");
    db.Execute("insert into [project] (ProjectId) values (3)");
    db.Execute("insert into [project] (ProjectId) values (4)");
    db.Execute("delete * from [project] where project.ProjectId = 3;");
    EXPECT_EQ(RawQuery(Path(), "select ProjectId from project"),
              (std::vector<std::vector<std::string>>{{"4"}}));
    EXPECT_EQ(statements.back(), "delete * from [project] where project.ProjectId = 3;");
}

TEST_F(DaoDatabaseTest, TableDefsListUserTablesInCreationOrder) {
    db.Create(Path());
    db.Execute("create table zeta (Id integer primary key autoincrement)");
    db.Execute("create table alpha (x integer)");
    ASSERT_EQ(db.GetTableDefCount(), 2);  // sqlite_sequence is the engine's own
    CDaoTableDefInfo info;
    db.GetTableDefInfo(0, info);
    EXPECT_EQ(info.m_strName, "zeta");
    db.GetTableDefInfo(1, info);
    EXPECT_EQ(info.m_strName, "alpha");
    EXPECT_EQ(CodeOf([&] { db.GetTableDefInfo(2, info); }), SQLITE_RANGE);
}

TEST_F(DaoDatabaseTest, TransactionRollsBackWhenNotCommitted) {
    db.Create(Path());
    db.Execute("create table t (x integer)");
    {
        CDaoTransaction transaction(db);
        db.Execute("insert into t (x) values (1)");
        EXPECT_TRUE(db.InTransaction());
    }
    EXPECT_FALSE(db.InTransaction());
    {
        CDaoTransaction transaction(db);
        db.Execute("insert into t (x) values (2)");
        transaction.Commit();
    }
    EXPECT_EQ(RawQuery(Path(), "select x from t"), (std::vector<std::vector<std::string>>{{"2"}}));
}

// Holds the write lock of `path` from a second connection for `hold`.
class LockHolder {
  public:
    LockHolder(const std::string& path, std::chrono::milliseconds hold) {
        sqlite3_open(path.c_str(), &db_);
        sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        thread_ = std::thread([this, hold] {
            std::this_thread::sleep_for(hold);
            sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        });
    }
    ~LockHolder() {
        thread_.join();
        sqlite3_close(db_);
    }

  private:
    sqlite3* db_ = nullptr;
    std::thread thread_;
};

TEST_F(DaoDatabaseTest, AStatementWaitsForAnotherProcessesLockThenFails) {
    MakeSampleDatabase(Path());
    db.Open(Path());
    {
        LockHolder holder(Path(), std::chrono::milliseconds(200));
        db.Execute("insert into t (v) values ('waited')");  // default timeout: 5 s
    }
    db.SetBusyTimeout(50);
    {
        LockHolder holder(Path(), std::chrono::milliseconds(1000));
        EXPECT_EQ(CodeOf([&] { db.Execute("insert into t (v) values ('late')"); }), SQLITE_BUSY);
    }
    EXPECT_EQ(RawQuery(Path(), "select count(*) from t where v = 'waited'")[0][0], "1");
}

}  // namespace
}  // namespace pellandrix
