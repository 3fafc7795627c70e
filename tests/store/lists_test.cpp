#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

#include "store/dao_exception.h"
#include "store/project_list.h"
#include "store/sql_dialect.h"
#include "store/tpl_file_list.h"
#include "store_fixture.h"
#include "support/string_table.h"

namespace pellandrix {
namespace {

using testkit::RawQuery;
using Rows = std::vector<std::vector<std::string>>;

class ListsTest : public ::testing::Test, public testkit::StoreFixture {
  protected:
    void SetUp() override {
        db.Create(Path());
        CProjectRecord::CreateTable(db);
        CTplFileRecord::CreateTable(db);
    }

    int CountStarting(const std::string& prefix) const {
        return static_cast<int>(
            std::count_if(statements.begin(), statements.end(),
                          [&prefix](const std::string& sql) { return sql.rfind(prefix, 0) == 0; }));
    }
};

TEST_F(ListsTest, ProjectCounterContinuesAboveEveryIdARowStillHolds) {
    RawQuery(Path(),
             "insert into project (ProjectId, ProjectName) values (1, 'a'), (2, 'b'), "
             "(5, 'c');");
    CProjectList projects;
    projects.LoadAll(db);
    EXPECT_EQ(projects.Records().Count(), 3);
    EXPECT_EQ(projects.IdCounter(), 5);
    EXPECT_EQ(projects.NewProject()->ProjectId, 6);
    // Files a deleted project left behind keep their id from a new project.
    RawQuery(Path(), "insert into TPLFile (ProjectId, TPLFileId) values (8, 1);");
    CProjectList again;
    again.LoadAll(db);
    EXPECT_EQ(again.NewProject()->ProjectId, 9);
}

TEST_F(ListsTest, CountersRefuseANewRecordBeyondTheLargest32BitId) {
    RawQuery(Path(),
             "insert into project (ProjectId, ProjectName) values (2147483647, 'last');"
             "insert into TPLFile (ProjectId, TPLFileId) values (2147483647, 2147483647);");
    CProjectList projects;
    projects.LoadAll(db);
    CTplFileList files;
    files.LoadForProject(db, 2147483647);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            projects.NewProject();
            ADD_FAILURE() << "a project id past 2147483647";
        } catch (const CDaoException& e) {
            EXPECT_EQ(e.Message(), FormatMessage(MessageId::kNoFreeId, "project", "2147483647"));
        }
        EXPECT_THROW(files.NewFile(), CDaoException);
    }
    EXPECT_EQ(projects.Records().Count(), 1);
    EXPECT_EQ(files.Records().Count(), 1);
    EXPECT_EQ(projects.IdCounter(), 2147483647);
}

TEST_F(ListsTest, CancelledNewProjectLeavesAndItsIdIsNotReused) {
    CProjectList projects;
    CProjectRecord* first = projects.NewProject();
    CProjectRecord* cancelled = projects.NewProject();
    EXPECT_TRUE(projects.Remove(cancelled));
    EXPECT_FALSE(projects.Remove(cancelled));
    EXPECT_EQ(projects.Records().Count(), 1);
    EXPECT_EQ(projects.Records().First(), first);
    EXPECT_EQ(projects.NewProject()->ProjectId, 3);
}

TEST_F(ListsTest, LookUpsSkipDeletedProjects) {
    CProjectList projects;
    CProjectRecord* old = projects.NewProject();
    old->ProjectName = "Site";
    old->Deleted = 1;
    CProjectRecord* fresh = projects.NewProject();
    fresh->ProjectName = "Site";
    EXPECT_EQ(projects.FindByName("Site"), fresh);
    EXPECT_EQ(projects.FindByName("site"), nullptr);
    EXPECT_EQ(projects.FindById(1), nullptr);
    EXPECT_EQ(projects.FindById(2), fresh);
}

TEST_F(ListsTest, DeletedProjectTakesItsFileRowsAlong) {
    CProjectList projects;
    CProjectRecord* project = projects.NewProject();
    project->ProjectName = "Gone";
    CTplFileList files;
    CTplFileRecord* file = files.NewFile();
    file->ProjectId = project->ProjectId;
    file->TPLFileName = "a.tpl";
    projects.SaveProjectAndFiles(db, project->ProjectId, files);

    project->Deleted = 1;
    projects.SaveAll(db);
    EXPECT_TRUE(RawQuery(Path(), "select * from project").empty());
    EXPECT_TRUE(RawQuery(Path(), "select ProjectId, TPLFileName from TPLFile").empty());
}

TEST_F(ListsTest, EachSaveSelectsAndUpdatesLiveRecordsAndDeletesDeadOnes) {
    CTplFileList files;
    for (const char* name : {"a.tpl", "b.tpl", "c.tpl"}) {
        CTplFileRecord* file = files.NewFile();
        file->ProjectId = 1;
        file->TPLFileName = name;
    }
    files.SaveAll(db, 1);
    files.FindByName("b.tpl")->Deleted = 1;
    for (int round = 0; round < 2; ++round) {
        statements.clear();
        files.SaveAll(db, 1);
        EXPECT_EQ(CountStarting("select "), 2);
        EXPECT_EQ(CountStarting("update "), 2);
        EXPECT_EQ(CountStarting("delete * from [TPLFile] where TPLFile.ProjectId = 1 and "
                                "TPLFile.TPLFileId = 2;"),
                  1);
        EXPECT_EQ(CountStarting("insert "), 0);
        EXPECT_EQ(statements.size(), 5u);
    }
    EXPECT_EQ(RawQuery(Path(), "select TPLFileId, TPLFileName from TPLFile"),
              (Rows{{"1", "a.tpl"}, {"3", "c.tpl"}}));
}

// Each record of a save looks its row up by key; a table scan there makes a
// save of N records cost N scans. Every lookup statement a save sends, as
// the engine runs it, must search the table's lookup index.
TEST_F(ListsTest, SavesFindTheirRowsThroughTheLookupIndexes) {
    CProjectList projects;
    CProjectRecord* project = projects.NewProject();
    CProjectRecord* gone = projects.NewProject();
    CTplFileList files;
    for (int i = 0; i < 3; ++i) {
        files.NewFile()->ProjectId = project->ProjectId;
    }
    projects.SaveProjectAndFiles(db, project->ProjectId, files);
    gone->Deleted = 1;
    files.FindByName("")->Deleted = 1;
    statements.clear();
    projects.SaveProjectAndFiles(db, project->ProjectId, files);

    int lookups = 0;
    for (const std::string& sql : statements) {
        SCOPED_TRACE(sql);
        const std::string table =
            sql.find("[project]") != std::string::npos ? "project" : "TPLFile";
        const Rows plan =
            RawQuery(Path(), "explain query plan " + ToEngineSelect(ToEngineDelete(sql)));
        ASSERT_FALSE(plan.empty());
        for (const std::vector<std::string>& step : plan) {
            const std::string& detail = step.back();
            EXPECT_EQ(detail.rfind("SCAN", 0), std::string::npos) << detail;
        }
        const bool searched = std::any_of(plan.begin(), plan.end(), [&table](const auto& step) {
            return step.back().find("USING INDEX LookupIndex_" + table) != std::string::npos;
        });
        EXPECT_TRUE(searched);
        ++lookups;
    }
    // project: select + update of the live one, delete of the dead one and
    // of its files; files: two selects and updates, one delete.
    EXPECT_EQ(lookups, 4 + 5);
}

TEST_F(ListsTest, FileCounterSurvivesASwitchToAProjectWithoutFiles) {
    RawQuery(Path(),
             "insert into TPLFile (ProjectId, TPLFileId, TPLFileName) values "
             "(1, 4, 'x.tpl'), (1, 9, 'y.tpl'), (2, 3, 'z.tpl');");
    CTplFileList files;
    files.LoadForProject(db, 1);
    EXPECT_EQ(files.CountLive(), 2);
    files.LoadForProject(db, 7);
    EXPECT_EQ(files.Records().Count(), 0);
    EXPECT_EQ(files.NewFile()->TPLFileId, 10);
    // File ids grow across projects: never below one a row still holds.
    files.LoadForProject(db, 2);
    EXPECT_EQ(files.IdCounter(), 10);
}

TEST_F(ListsTest, NewFileDefaultsAndLookUps) {
    CTplFileList files;
    CTplFileRecord* a = files.NewFile();
    EXPECT_EQ(a->CreateFile + a->AlwaysParse + a->SourceFromProject + a->TargetFromProject, 4);
    EXPECT_EQ(a->Selected, 0);
    a->TPLFileName = "a.tpl";
    a->ListRow = 0;
    CTplFileRecord* b = files.NewFile();
    b->TPLFileName = "a.tpl";
    b->ListRow = 1;
    a->Deleted = 1;
    EXPECT_EQ(files.FindByName("a.tpl"), b);
    EXPECT_EQ(files.FindByListRow(0), nullptr);
    EXPECT_EQ(files.FindByListRow(1), b);
    EXPECT_EQ(files.CountLive(), 1);
}

TEST_F(ListsTest, ProjectPathsReachFollowingFilesDeadOnesIncluded) {
    CProjectRecord project;
    project.ProjectId = 1;
    project.SourcePath = "/new/src";
    project.TargetPath = "/new/out";
    CTplFileList files;
    CTplFileRecord* follows = files.NewFile();
    follows->ProjectId = 1;
    follows->Deleted = 1;
    CTplFileRecord* own = files.NewFile();
    own->ProjectId = 1;
    own->SourceFromProject = 0;
    own->SourcePath = "/own";
    CTplFileRecord* other = files.NewFile();
    other->ProjectId = 2;
    files.ApplyProjectPaths(&project);
    files.ApplyProjectPaths(nullptr);
    EXPECT_EQ(follows->SourcePath, "/new/src");
    EXPECT_EQ(follows->TargetPath, "/new/out");
    EXPECT_EQ(own->SourcePath, "/own");
    EXPECT_EQ(own->TargetPath, "/new/out");
    EXPECT_EQ(other->SourcePath, "");
}

TEST_F(ListsTest, FailedSaveRollsBackAndKeepsThePreviousRows) {
    CProjectList projects;
    CProjectRecord* kept = projects.NewProject();
    kept->ProjectName = "Kept";
    projects.SaveAll(db);
    const Rows before = RawQuery(Path(), "select * from project");

    kept->ProjectName = "Changed";
    projects.NewProject()->ProjectName = "New";
    // The update of the first record goes through, the insert of the
    // second fails: nothing of the save may remain.
    RawQuery(Path(),
             "create trigger stop before insert on project begin "
             "select raise(abort, 'refused'); end;");
    EXPECT_THROW(projects.SaveAll(db), CDaoException);
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(RawQuery(Path(), "select * from project"), before);

    RawQuery(Path(), "drop trigger stop; alter table project rename to gone;");
    try {
        projects.SaveAll(db);
        FAIL() << "no exception";
    } catch (const CDaoException& e) {
        EXPECT_EQ(e.Code(), SQLITE_ERROR);
    }
    EXPECT_EQ(RawQuery(Path(), "select * from gone"), before);
}

TEST_F(ListsTest, FilesRoundTripThroughSaveAndLoad) {
    CTplFileList files;
    CTplFileRecord* file = files.NewFile();
    file->ProjectId = 3;
    file->TPLFileName = "page.tpl";
    file->SourcePath = "/s";
    file->TargetPath = "/t";
    file->Selected = 1;
    file->AlwaysParse = 0;
    file->CreateFileExt = "php";
    files.SaveAll(db, 3);

    CTplFileList loaded;
    loaded.LoadForProject(db, 3);
    ASSERT_EQ(loaded.Records().Count(), 1);
    const CTplFileRecord& read = *loaded.Records().First();
    EXPECT_EQ(read.TPLFileId, 1);
    EXPECT_EQ(read.TPLFileName, "page.tpl");
    EXPECT_EQ(read.SourcePath, "/s");
    EXPECT_EQ(read.TargetPath, "/t");
    EXPECT_EQ(read.Selected, 1);
    EXPECT_EQ(read.CreateFile, 1);
    EXPECT_EQ(read.AlwaysParse, 0);
    EXPECT_EQ(read.CreateFileExt, "php");
    EXPECT_EQ(loaded.IdCounter(), 1);
}

// A path, a file name and a project name with apostrophes, inserted, then
// updated, and read back by a new connection to the file: every one as
// typed, and the project is found by its name.
TEST_F(ListsTest, ApostrophesSurviveSavesAndAReopen) {
    CProjectList projects;
    CProjectRecord* project = projects.NewProject();
    project->ProjectName = "Peter's Seite";
    project->SourcePath = "/home/peter/Peter's Seite";
    CTplFileList files;
    CTplFileRecord* file = files.NewFile();
    file->ProjectId = project->ProjectId;
    file->TPLFileName = "Peter's.tpl";
    file->SourcePath = "'";
    file->TargetPath = "/out/'x''";
    file->CreateFileExt = "ht'm";
    projects.SaveProjectAndFiles(db, project->ProjectId, files);
    project->TargetPath = "/out/Peter's";
    file->TPLFileName = "Peter's neue.tpl";
    projects.SaveProjectAndFiles(db, project->ProjectId, files);
    db.Close();

    CDaoDatabase reopened;
    reopened.Open(Path());
    CProjectRecord::EnsureTable(reopened);
    CTplFileRecord::EnsureTable(reopened);
    CProjectList loadedProjects;
    loadedProjects.LoadAll(reopened);
    const CProjectRecord* read = loadedProjects.FindByName("Peter's Seite");
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->SourcePath, "/home/peter/Peter's Seite");
    EXPECT_EQ(read->TargetPath, "/out/Peter's");
    CTplFileList loadedFiles;
    loadedFiles.LoadForProject(reopened, read->ProjectId);
    const CTplFileRecord* readFile = loadedFiles.FindByName("Peter's neue.tpl");
    ASSERT_NE(readFile, nullptr);
    EXPECT_EQ(readFile->SourcePath, "'");
    EXPECT_EQ(readFile->TargetPath, "/out/'x''");
    EXPECT_EQ(readFile->CreateFileExt, "ht'm");
}

}  // namespace
}  // namespace pellandrix
