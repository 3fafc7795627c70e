#include <gtest/gtest.h>

#include "store/dao_recordset.h"
#include "store/dao_tabledef.h"
#include "store/project_record.h"
#include "store/tpl_file_record.h"
#include "store_fixture.h"

namespace pellandrix {
namespace {

using testkit::RawQuery;
using Rows = std::vector<std::vector<std::string>>;

// Every index of `table` made with CREATE INDEX, in creation order: name,
// unique (1 or 0) and its columns joined by ",".
Rows IndexesOf(const std::string& path, const std::string& table) {
    return RawQuery(path,
                    "select m.name, l.\"unique\", (select group_concat(name, ',') from "
                    "(select name from pragma_index_info(m.name) order by seqno)) "
                    "from sqlite_master m join pragma_index_list('" +
                        table +
                        "') l on l.name = m.name "
                        "where l.origin = 'c' order by m.rowid");
}

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
    EXPECT_EQ(IndexesOf(Path(), "project"), (Rows{{"PrimaryIndex_project", "1", "Id"},
                                                  {"LookupIndex_project", "0", "ProjectId"}}));
    EXPECT_EQ(IndexesOf(Path(), "TPLFile"),
              (Rows{{"PrimaryIndex_TPLFile", "1", "Id"},
                    {"LookupIndex_TPLFile", "0", "ProjectId,TPLFileId"}}));
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

TEST_F(RecordsTest, ApostrophesAreDoubledInTheStatementAndStoredAsTyped) {
    CProjectRecord project;
    MakeWeb(project);
    project.ProjectName = "Tom's page";
    project.Insert(db);
    project.Update(db, 3);
    EXPECT_NE(statements[0].find("'Tom''s page'"), std::string::npos) << statements[0];
    EXPECT_NE(statements[1].find("ProjectName = 'Tom''s page',"), std::string::npos)
        << statements[1];
    EXPECT_EQ(RawQuery(Path(), "select ProjectName, SourcePath from project"),
              (Rows{{"Tom's page", R"(D:\src)"}}));
}

// Widths count characters: a name of 49 umlauts fits whole, and a 4-byte
// character just inside the width stays.
TEST_F(RecordsTest, StoredTextsLongerThanAMemberAreCutOnReading) {
    std::string umlauts;
    for (int i = 0; i < 48; ++i) {
        umlauts += "ü";
    }
    RawQuery(Path(),
             "insert into project (ProjectId, ProjectName, DefCreateFileExt) values "
             "(1, '" +
                 umlauts + "😀ü', 'extension-of-30-characters-xx'), (2, '" + umlauts + "ä', '');");
    CProjectRecord read;
    CDaoRecordset recordset(db);
    recordset.Open(kDbOpenDynaset, "select * from [project];");
    read.ReadFrom(recordset);
    EXPECT_EQ(read.ProjectName, umlauts + "😀");
    EXPECT_EQ(read.DefCreateFileExt, "extension-of-30-chara");
    recordset.MoveNext();
    read.ReadFrom(recordset);
    EXPECT_EQ(read.ProjectName, umlauts + "ä");
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

TEST_F(RecordsTest, LayerReportsThePrimaryIndexFirstAndTheLookupIndexAsPlain) {
    CDaoTableDef tableDef(db);
    tableDef.Open("TPLFile");
    ASSERT_EQ(tableDef.GetIndexCount(), 2);
    CDaoIndexInfo primary;
    tableDef.GetIndexInfo(0, primary);
    EXPECT_EQ(primary.m_strName, "PrimaryIndex");
    EXPECT_TRUE(primary.m_bPrimary);
    CDaoIndexInfo lookup;
    tableDef.GetIndexInfo(1, lookup);
    EXPECT_EQ(lookup.m_strName, "LookupIndex");
    EXPECT_FALSE(lookup.m_bPrimary);
    EXPECT_FALSE(lookup.m_bUnique);
    ASSERT_EQ(lookup.m_fields.size(), 2u);
    EXPECT_EQ(lookup.m_fields[0].m_strName, "ProjectId");
    EXPECT_EQ(lookup.m_fields[1].m_strName, "TPLFileId");
}

// A database written before the lookup indexes existed: complete tables,
// PrimaryIndex only, and rows that share their keys, which the schema
// allows and the new indexes must not refuse.
TEST_F(RecordsTest, OpeningAnOldDatabaseAddsTheLookupIndexesAndLeavesRowsAlone) {
    const std::string oldPath = dir / "old.mdb";
    RawQuery(oldPath,
             "create table project (Id integer primary key autoincrement, ProjectId integer, "
             "ProjectName text(255), TargetPath text(255), SourcePath text(255), "
             "DefCreateFileExt text(255));"
             "create unique index PrimaryIndex_project on project (Id);"
             "create table TPLFile (Id integer primary key autoincrement, ProjectId integer, "
             "TPLFileId integer, TPLFileName text(255), Selected integer, SourcePath "
             "text(255), TargetPath text(255), CreateFile integer, AlwaysParse integer, "
             "SourceFromProject integer, TargetFromProject integer, CreateFileExt text(255));"
             "create unique index PrimaryIndex_TPLFile on TPLFile (Id);"
             "insert into project (ProjectId, ProjectName) values (1, 'a'), (1, 'twin');"
             "insert into TPLFile (ProjectId, TPLFileId, TPLFileName, CreateFileExt) values "
             "(1, 1, 'a.tpl', 'htm'), (1, 1, 'twin.tpl', NULL), (2, 1, 'b.tpl', '');");
    const std::string tablesSql = "select name, sql from sqlite_master where type = 'table'";
    const Rows tablesBefore = RawQuery(oldPath, tablesSql);
    const Rows projectsBefore = RawQuery(oldPath, "select * from project");
    const Rows filesBefore = RawQuery(oldPath, "select * from TPLFile");

    // Twice: the second open finds the indexes and must not trip over them.
    for (int open = 0; open < 2; ++open) {
        CDaoDatabase old;
        old.Open(oldPath);
        CProjectRecord::EnsureTable(old);
        CTplFileRecord::EnsureTable(old);
    }

    EXPECT_EQ(IndexesOf(oldPath, "project"), (Rows{{"PrimaryIndex_project", "1", "Id"},
                                                   {"LookupIndex_project", "0", "ProjectId"}}));
    EXPECT_EQ(IndexesOf(oldPath, "TPLFile"),
              (Rows{{"PrimaryIndex_TPLFile", "1", "Id"},
                    {"LookupIndex_TPLFile", "0", "ProjectId,TPLFileId"}}));
    EXPECT_EQ(RawQuery(oldPath, tablesSql), tablesBefore);
    EXPECT_EQ(RawQuery(oldPath, "select * from project"), projectsBefore);
    EXPECT_EQ(RawQuery(oldPath, "select * from TPLFile"), filesBefore);
}

}  // namespace
}  // namespace pellandrix
