// Database files the program must refuse: damaged, cut short, read-only or
// locked by another process. Each is refused with the engine's error and
// left byte for byte as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>

#include "store/dao_exception.h"
#include "store/database_location.h"
#include "store/project_list.h"
#include "store/tpl_file_list.h"
#include "store_fixture.h"
#include "support/string_table.h"
#include "testkit/faults.h"
#include "testkit/files.h"
#include "testkit/recording_presenter.h"

namespace pellandrix {
namespace {

using testkit::ReadBytes;
using testkit::WriteBytes;

class DatabaseFaultTest : public ::testing::Test, public testkit::StoreFixture {
  protected:
    // A database with a project of `files` template files, closed again.
    void MakeProject(int files) {
        CDaoDatabase maker;
        maker.Create(Path());
        CProjectRecord::CreateTable(maker);
        CTplFileRecord::CreateTable(maker);
        CProjectList projects;
        projects.NewProject()->ProjectName = "Web";
        projects.SaveAll(maker);
        CTplFileList list;
        for (int i = 0; i < files; ++i) {
            CTplFileRecord* f = list.NewFile();
            f->ProjectId = 1;
            f->TPLFileName = "page" + std::to_string(i) + ".tpl";
            f->SourcePath = std::string(200, 's');
        }
        list.SaveAll(maker, 1);
    }

    // The code of the CDaoException `fn` raises, 0 when it raises none.
    template <typename Fn>
    static int CodeOf(Fn fn) {
        try {
            fn();
        } catch (const CDaoException& e) {
            return e.Code();
        }
        return 0;
    }

    // Opens the database the way the start-up does and returns the code of
    // the error (its message in `refusal`); `db` must be closed afterwards
    // either way.
    int StartUpCode() {
        testkit::RecordingPresenter presenter;
        CMessageService messages(presenter);
        const DatabaseLocation location{Path(), "Pellandrix.mdb", (dir / "")};
        db.Close();
        refusal.clear();
        const int code = CodeOf([&] {
            try {
                CreateOrOpenDatabase(db, messages, location);
            } catch (const CDaoException& e) {
                refusal = e.Message();
                throw;
            }
        });
        EXPECT_TRUE(presenter.shown.empty()) << "no notice of a new database";
        return code;
    }

    std::string refusal;
};

TEST_F(DatabaseFaultTest, TruncatedDatabaseIsRefusedAndKept) {
    MakeProject(300);
    const std::string whole = ReadBytes(Path());
    ASSERT_GT(whole.size(), 8192u);
    // Cut inside the header, after the first page, at an odd size, one
    // page short, and one byte short: SQLite reads a missing tail as zeros
    // and quick_check passes such a file, while a stored name has lost its
    // last byte. Every one must be found out before anything is written.
    for (const std::size_t size : {std::size_t{50}, std::size_t{4096}, whole.size() / 2 + 1,
                                   whole.size() - 4096, whole.size() - 1}) {
        SCOPED_TRACE(size);
        const std::string cut = whole.substr(0, size);
        WriteBytes(Path(), cut);
        EXPECT_NE(StartUpCode(), 0);
        EXPECT_FALSE(db.IsOpen());
        EXPECT_EQ(ReadBytes(Path()), cut);
        EXPECT_FALSE(testkit::Exists(Path() + "-journal"));
    }
}

TEST_F(DatabaseFaultTest, EmptyDatabaseFileIsRefusedAndKeepsItsTime) {
    // SQLite would take the empty file for an empty database and the
    // start-up would write both tables into it.
    WriteBytes(Path(), "");
    const auto then = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(Path(), then);
    EXPECT_EQ(StartUpCode(), SQLITE_NOTADB);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(std::filesystem::file_size(Path()), 0u);
    EXPECT_EQ(std::filesystem::last_write_time(Path()), then);
    EXPECT_FALSE(testkit::Exists(Path() + "-journal"));
}

TEST_F(DatabaseFaultTest, DamagedPagesAreRefusedAndKept) {
    MakeProject(300);
    std::string bytes = ReadBytes(Path());
    // Scribble over the middle of the file, where the rows of TPLFile lie.
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 3000; ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    WriteBytes(Path(), bytes);
    EXPECT_EQ(StartUpCode(), SQLITE_CORRUPT);
    EXPECT_EQ(ReadBytes(Path()), bytes);
}

TEST_F(DatabaseFaultTest, IndexThatNoLongerMatchesItsTableIsRefusedAndKept) {
    MakeProject(300);
    // A database that also holds a run record has its other tables checked
    // one by one, which must find this as the whole check does.
    testkit::RawQuery(Path(),
                      "create table RunKey (ProjectId integer primary key, RecordKey blob)");
    // The lookup index made over the first 38 files only, then declared
    // whole behind the engine's back: a select by project now finds 38 of
    // 300 rows, and every page still looks sound on its own.
    testkit::RawQuery(Path(),
                      "drop index LookupIndex_TPLFile;"
                      "create index LookupIndex_TPLFile on TPLFile (ProjectId, TPLFileId) "
                      "where TPLFileId <= 38;"
                      "pragma writable_schema = on;"
                      "update sqlite_master set sql = replace(sql, ' where TPLFileId <= 38', '') "
                      "where name = 'LookupIndex_TPLFile';");
    ASSERT_EQ(testkit::RawQuery(Path(), "select count(*) from TPLFile where ProjectId = 1")[0][0],
              "38");
    const std::string before = ReadBytes(Path());
    EXPECT_EQ(StartUpCode(), SQLITE_CORRUPT);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(ReadBytes(Path()), before);
}

// Written by another tool: values the records cannot hold would come back
// cut (a duplicate id, a shortened name) and be saved over the originals.
TEST_F(DatabaseFaultTest, RowsTheRecordsCannotHoldAreRefusedByTableAndRow) {
    MakeProject(3);
    const std::string fresh = ReadBytes(Path());
    const std::pair<std::string, std::string> cases[] = {
        {"update TPLFile set TPLFileId = 4294967298 where Id = 2", "TPLFile.TPLFileId"},
        {"update TPLFile set TPLFileId = -2147483649 where Id = 2", "TPLFile.TPLFileId"},
        {"update TPLFile set ProjectId = 'eins' where Id = 2", "TPLFile.ProjectId"},
        {"update TPLFile set Selected = 0.5 where Id = 2", "TPLFile.Selected"},
        {"update TPLFile set TPLFileName = '" + std::string(256, 'n') + "' where Id = 2",
         "TPLFile.TPLFileName"},
        {"update project set ProjectName = '" + std::string(50, 'p') + "' where Id = 1",
         "project.ProjectName"},
    };
    for (const auto& [change, column] : cases) {
        SCOPED_TRACE(change);
        WriteBytes(Path(), fresh);
        testkit::RawQuery(Path(), change);
        const std::string before = ReadBytes(Path());
        EXPECT_NE(StartUpCode(), 0);
        EXPECT_FALSE(db.IsOpen());
        const std::string row = column[0] == 'p' ? "1" : "2";
        EXPECT_EQ(refusal, FormatMessage(MessageId::kRowNotRepresentable, column, row));
        EXPECT_EQ(ReadBytes(Path()), before);
    }
    // The widest values the records hold are taken as they are; widths
    // count characters, however many bytes they take.
    WriteBytes(Path(), fresh);
    std::string umlauts;
    for (int i = 0; i < 49; ++i) {
        umlauts += "ä";
    }
    testkit::RawQuery(Path(), "update TPLFile set TPLFileId = 2147483647, TPLFileName = '" +
                                  std::string(255, 'n') + "' where Id = 2");
    testkit::RawQuery(Path(), "update project set ProjectName = '" + umlauts + "' where Id = 1");
    EXPECT_EQ(StartUpCode(), 0);
    db.Close();
    testkit::RawQuery(Path(), "update project set ProjectName = '" + umlauts + "ä' where Id = 1");
    EXPECT_NE(StartUpCode(), 0);
    EXPECT_EQ(refusal, FormatMessage(MessageId::kRowNotRepresentable, "project.ProjectName", "1"));
}

TEST_F(DatabaseFaultTest, ReadOnlyDatabaseIsRefusedAndKept) {
    MakeProject(10);
    const std::string before = ReadBytes(Path());
    testkit::ReadOnlyFile readOnly(Path());
    if (!readOnly.Holds()) {
        GTEST_SKIP() << "this file system cannot make the file read-only for root";
    }
    EXPECT_EQ(StartUpCode(), SQLITE_READONLY);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(ReadBytes(Path()), before);
}

TEST_F(DatabaseFaultTest, DatabaseLockedByAnotherProcessIsRefusedAfterTheBusyTimeout) {
    MakeProject(10);
    const std::string before = ReadBytes(Path());
    testkit::LockingProcess other(Path());
    ASSERT_TRUE(other.Locked());
    EXPECT_EQ(StartUpCode() & 0xff, SQLITE_BUSY);
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(ReadBytes(Path()), before);
}

TEST_F(DatabaseFaultTest, SaveRefusedByAnotherProcessesLockWritesNothing) {
    MakeProject(10);
    db.Open(Path());
    CTplFileList list;
    list.LoadForProject(db, 1);
    const std::string before = ReadBytes(Path());
    for (CTplFileRecord& f : list.Records()) {
        f.TPLFileName = "renamed.tpl";
    }
    list.NewFile()->ProjectId = 1;
    db.SetBusyTimeout(100);
    {
        testkit::LockingProcess other(Path());
        ASSERT_TRUE(other.Locked());
        EXPECT_EQ(CodeOf([&] { list.SaveAll(db, 1); }) & 0xff, SQLITE_BUSY);
        EXPECT_FALSE(db.InTransaction());
    }
    EXPECT_EQ(ReadBytes(Path()), before);
    EXPECT_EQ(testkit::RawQuery(Path(),
                                "select count(*) from TPLFile where "
                                "TPLFileName like 'page%'")[0][0],
              "10");
    // Once the other process is gone the same save goes through.
    list.SaveAll(db, 1);
    EXPECT_EQ(testkit::RawQuery(Path(), "select count(*) from TPLFile")[0][0], "11");
}

}  // namespace
}  // namespace pellandrix
