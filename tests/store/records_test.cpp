#include <gtest/gtest.h>

#include "store/dao_recordset.h"
#include "store/project_record.h"
#include "store/tpl_file_record.h"
#include "store_fixture.h"

namespace pellandrix {
namespace {

using testkit::RawQuery;
using Rows = std::vector<std::vector<std::string>>;

class RecordsTest : public ::testing::Test, public testkit::StoreFixture {
  protected:
    void SetUp() override {
        db.Create(Path());
        CProjectRecord::CreateTable(db);
        CTplFileRecord::CreateTable(db);
        statements.clear();
    }

    static void MakeWeb(CProjectRecord& project) {
        project.ProjectId = 3;
        project.ProjectName = "Web";
        project.TargetPath = R"(D:\out)";
        project.SourcePath = R"(D:\src)";
        project.DefCreateFileExt = "htm";
    }
};

TEST_F(RecordsTest, FreshSchemaMatchesTheStoredContract) {
    EXPECT_EQ(RawQuery(Path(), "select name, type from pragma_table_info('project')"),
              (Rows{{"Id", "INTEGER"},
                    {"ProjectId", "INTEGER"},
                    {"ProjectName", "TEXT(255)"},
                    {"TargetPath", "TEXT(255)"},
                    {"SourcePath", "TEXT(255)"},
                    {"DefCreateFileExt", "TEXT(255)"}}));
    EXPECT_EQ(RawQuery(Path(), "select name from pragma_table_info('TPLFile')"),
              (Rows{{"Id"},
                    {"ProjectId"},
                    {"TPLFileId"},
                    {"TPLFileName"},
                    {"Selected"},
                    {"SourcePath"},
                    {"TargetPath"},
                    {"CreateFile"},
                    {"AlwaysParse"},
                    {"SourceFromProject"},
                    {"TargetFromProject"},
                    {"CreateFileExt"}}));
    for (const std::string table : {"project", "TPLFile"}) {
        EXPECT_EQ(RawQuery(Path(), "select name, \"unique\" from pragma_index_list('" + table +
                                       "') where origin = 'c'"),
                  (Rows{{"PrimaryIndex_" + table, "1"}}));
        EXPECT_EQ(
            RawQuery(Path(), "select name from pragma_index_info('PrimaryIndex_" + table + "')"),
            (Rows{{"Id"}}));
    }
    EXPECT_EQ(RawQuery(Path(),
                       "select sql like '%AUTOINCREMENT%' from sqlite_master "
                       "where name = 'TPLFile'")[0][0],
              "1");
}

TEST_F(RecordsTest, ProjectStatementsReadAsWritten) {
    CProjectRecord project;
    MakeWeb(project);
    EXPECT_FALSE(project.Exists(db, 3));
    project.Insert(db);
    EXPECT_TRUE(project.Exists(db, 3));
    project.Update(db, 3);
    project.Delete(db, 3);
    EXPECT_EQ(
        statements,
        (std::vector<std::string>{
            "select * from [project] where project.projectId = 3;",
            R"(insert into [project] (ProjectId,ProjectName,TargetPath,SourcePath,DefCreateFileExt) values (3,'Web','D:\out','D:\src','htm');)",
            "select * from [project] where project.projectId = 3;",
            R"(update [project] set ProjectId = 3,ProjectName = 'Web',TargetPath = 'D:\out',SourcePath = 'D:\src',DefCreateFileExt = 'htm' where project.projectId = 3;)",
            "delete * from [project] where project.ProjectId = 3;",
        }));
    EXPECT_TRUE(RawQuery(Path(), "select * from project").empty());
}

TEST_F(RecordsTest, FileStatementsReadAsWrittenAndUpdateRewritesTheKeys) {
    CTplFileRecord file;
    file.ProjectId = 2;
    file.TPLFileId = 7;
    file.TPLFileName = "index.tpl";
    file.Selected = 1;
    file.SourcePath = "/src";
    file.TargetPath = "/out";
    file.CreateFile = 1;
    file.CreateFileExt = "html";
    file.Insert(db);
    EXPECT_TRUE(file.Exists(db, 2, 7));
    file.ProjectId = 4;
    file.TPLFileId = 8;
    file.Update(db, 2, 7);
    EXPECT_FALSE(file.Exists(db, 2, 7));
    file.Delete(db, 9, 9);
    EXPECT_EQ(RawQuery(Path(), "select ProjectId, TPLFileId, TPLFileName from TPLFile"),
              (Rows{{"4", "8", "index.tpl"}}));
    EXPECT_EQ(statements,
              (std::vector<std::string>{
                  "insert into [TPLFile] "
                  "(ProjectId,TPLFileId,TPLFileName,Selected,SourcePath,TargetPath,CreateFile,"
                  "AlwaysParse,SourceFromProject,TargetFromProject,CreateFileExt) values "
                  "(2,7,'index.tpl',1,'/src','/out',1,0,0,0,'html');",
                  "select * from [TPLFile] where TPLFile.ProjectId = 2 and TPLFile.TPLFileId = 7;",
                  "update [TPLFile] set ProjectId = 4,TPLFileId = 8,TPLFileName = 'index.tpl',"
                  "Selected = 1,SourcePath = '/src',TargetPath = '/out',CreateFile = 1,"
                  "AlwaysParse = 0,SourceFromProject = 0,TargetFromProject = 0,CreateFileExt = "
                  "'html' where TPLFile.ProjectId = 2 and TPLFile.TPLFileId = 7;",
                  "select * from [TPLFile] where TPLFile.ProjectId = 2 and TPLFile.TPLFileId = 7;",
                  "delete * from [TPLFile] where TPLFile.ProjectId = 9 and TPLFile.TPLFileId = 9;",
              }));
}

TEST_F(RecordsTest, ApostrophesAreDroppedOnTheWayIn) {
    CProjectRecord project;
    MakeWeb(project);
    project.ProjectName = "Tom's page";
    project.Insert(db);
    EXPECT_EQ(project.ProjectName, "Tom's page");
    CProjectRecord read;
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from [project];");
    read.ReadFrom(recordset);
    EXPECT_EQ(read.ProjectName, "Toms page");
    EXPECT_EQ(read.SourcePath, R"(D:\src)");
    EXPECT_EQ(read.TargetPath, R"(D:\out)");
}

TEST_F(RecordsTest, StoredTextsLongerThanAMemberAreCutOnReading) {
    RawQuery(Path(),
             "insert into project (ProjectId, ProjectName, DefCreateFileExt) values "
             "(1, '" +
                 std::string(60, 'n') + "', 'extension-of-30-characters-xx');");
    CProjectRecord read;
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from [project];");
    read.ReadFrom(recordset);
    EXPECT_EQ(read.ProjectName, std::string(49, 'n'));
    EXPECT_EQ(read.DefCreateFileExt, "extension-of-30-chara");
}

TEST_F(RecordsTest, OldFileTableGainsCreateFileExtAndKeepsItsRows) {
    CDaoDatabase old;
    const std::string oldPath = dir / "old.mdb";
    RawQuery(oldPath,
             "create table project (Id integer primary key autoincrement, ProjectId integer, "
             "ProjectName text(255), TargetPath text(255), SourcePath text(255), "
             "DefCreateFileExt text(255));"
             "create table TPLFile (Id integer primary key autoincrement, ProjectId integer, "
             "TPLFileId integer, TPLFileName text(255), Selected integer, SourcePath "
             "text(255), TargetPath text(255), CreateFile integer, AlwaysParse integer, "
             "SourceFromProject integer, TargetFromProject integer);"
             "insert into TPLFile (ProjectId, TPLFileId, TPLFileName, Selected) values "
             "(1, 1, 'a.tpl', 1), (1, 2, 'b.tpl', 0);");
    const Rows before = RawQuery(oldPath, "select * from TPLFile");
    old.Open(oldPath);
    CProjectRecord::EnsureTable(old);
    CTplFileRecord::EnsureTable(old);
    EXPECT_EQ(RawQuery(oldPath, "select name from pragma_table_info('TPLFile')").back()[0],
              "CreateFileExt");
    Rows after = RawQuery(oldPath, "select * from TPLFile");
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].back(), "NULL");
        after[i].pop_back();
    }
    EXPECT_EQ(after, before);

    CTplFileRecord read;
    read.CreateFileExt = "old";
    CDaoRecordset recordset(old);
    recordset.Open(kDbOpenDynaset, "select * from [TPLFile];");
    read.ReadFrom(recordset);
    EXPECT_EQ(read.CreateFileExt, "");
    EXPECT_EQ(read.TPLFileName, "a.tpl");
}

}  // namespace
}  // namespace pellandrix
