// One project with 10,000 template files: how the store's load and save
// compare with the cheapest way SQLite can write the same rows, and what
// the checks at opening cost against opening without them.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "store/dao_database.h"
#include "store/database_location.h"
#include "store/project_list.h"
#include "store/project_record.h"
#include "store/tpl_file_list.h"
#include "support/message_service.h"

namespace pellandrix {
namespace {

constexpr int kFiles = 10000;
constexpr int kProject = 1;

// A fresh folder with a new database holding both tables; removed on
// destruction.
class BenchDatabase {
  public:
    BenchDatabase() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "pellandrix-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        dir_ = pattern;
        db.Create((dir_ / "Pellandrix.mdb").string());
        CProjectRecord::CreateTable(db);
        CTplFileRecord::CreateTable(db);
    }
    ~BenchDatabase() {
        db.Close();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string Folder() const { return dir_.string() + "/"; }
    std::string Path() const { return Folder() + "Pellandrix.mdb"; }

    CDaoDatabase db;

  private:
    std::filesystem::path dir_;
};

void FillFile(CTplFileRecord& file, int index) {
    file.ProjectId = kProject;
    file.TPLFileName = "page" + std::to_string(index) + ".tpl";
    file.SourcePath = "/home/user/site/templates";
    file.TargetPath = "/home/user/site/public";
    file.CreateFileExt = "html";
    file.Selected = index % 2;
}

void FillList(CTplFileList& files) {
    for (int i = 0; i < kFiles; ++i) {
        FillFile(*files.NewFile(), i);
    }
}

// The baseline: one prepared insert, bound and stepped per row, inside one
// transaction.
void BM_BareSqliteInsert(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        BenchDatabase bench;
        CTplFileRecord file;
        state.ResumeTiming();
        sqlite3* db = bench.db.Handle();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db,
                           "insert into TPLFile (ProjectId,TPLFileId,TPLFileName,Selected,"
                           "SourcePath,TargetPath,CreateFile,AlwaysParse,SourceFromProject,"
                           "TargetFromProject,CreateFileExt) values (?,?,?,?,?,?,?,?,?,?,?)",
                           -1, &insert, nullptr);
        for (int i = 0; i < kFiles; ++i) {
            FillFile(file, i);
            sqlite3_bind_int(insert, 1, file.ProjectId);
            sqlite3_bind_int(insert, 2, i + 1);
            sqlite3_bind_text(insert, 3, file.TPLFileName.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_int(insert, 4, file.Selected);
            sqlite3_bind_text(insert, 5, file.SourcePath.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 6, file.TargetPath.c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_int(insert, 7, 1);
            sqlite3_bind_int(insert, 8, 1);
            sqlite3_bind_int(insert, 9, 1);
            sqlite3_bind_int(insert, 10, 1);
            sqlite3_bind_text(insert, 11, file.CreateFileExt.c_str(), -1, SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_BareSqliteInsert)->Unit(benchmark::kMillisecond);

// First save of a new project: every record is looked up, then inserted.
// The lookups go through the tables' lookup indexes, which CreateTable
// makes, so each costs a search instead of a table scan.
void BM_SaveNewFiles(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        BenchDatabase bench;
        CTplFileList files;
        FillList(files);
        state.ResumeTiming();
        files.SaveAll(bench.db, kProject);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_SaveNewFiles)->Unit(benchmark::kMillisecond)->Iterations(2);

// A later save with every row present: every record is looked up, then
// updated.
void BM_SaveExistingFiles(benchmark::State& state) {
    BenchDatabase bench;
    CTplFileList files;
    FillList(files);
    files.SaveAll(bench.db, kProject);
    for (auto _ : state) {
        files.SaveAll(bench.db, kProject);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_SaveExistingFiles)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_LoadFiles(benchmark::State& state) {
    BenchDatabase bench;
    {
        CTplFileList files;
        FillList(files);
        files.SaveAll(bench.db, kProject);
    }
    CTplFileList loaded;
    for (auto _ : state) {
        loaded.LoadForProject(bench.db, kProject);
        benchmark::DoNotOptimize(loaded.CountLive());
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_LoadFiles)->Unit(benchmark::kMillisecond);

// A closed database of one project with kFiles template files.
class SavedProject : public BenchDatabase {
  public:
    SavedProject() {
        CProjectList projects;
        projects.NewProject()->ProjectName = "Big";
        projects.SaveAll(db);
        CTplFileList files;
        FillList(files);
        files.SaveAll(db, kProject);
        db.Close();
    }
};

// Opens the file with SQLite alone, runs `check` (if any) to its first
// result and closes it again. Reading the schema is the least any open
// does before its first statement.
void OpenAndCheck(const std::string& path, const char* check) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    for (const char* sql : {"select count(*) from sqlite_master", check}) {
        sqlite3_stmt* statement = nullptr;
        if (sql != nullptr && sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
            sqlite3_step(statement);
            benchmark::DoNotOptimize(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
}

// The floor: open, read the schema, close.
void BM_OpenWithoutCheck(benchmark::State& state) {
    SavedProject project;
    for (auto _ : state) {
        OpenAndCheck(project.Path(), nullptr);
    }
}
BENCHMARK(BM_OpenWithoutCheck)->Unit(benchmark::kMillisecond);

// The check the store ran before: every page read once, the indexes not
// compared with their tables.
void BM_OpenQuickCheck(benchmark::State& state) {
    SavedProject project;
    for (auto _ : state) {
        OpenAndCheck(project.Path(), "PRAGMA quick_check(1)");
    }
}
BENCHMARK(BM_OpenQuickCheck)->Unit(benchmark::kMillisecond);

// The full check alone: also every index entry looked up against its row.
void BM_OpenIntegrityCheck(benchmark::State& state) {
    SavedProject project;
    for (auto _ : state) {
        OpenAndCheck(project.Path(), "PRAGMA integrity_check(1)");
    }
}
BENCHMARK(BM_OpenIntegrityCheck)->Unit(benchmark::kMillisecond);

class SilentPresenter : public IMessagePresenter {
  public:
    MessageAnswer Present(MessageKind, const std::string&, ButtonStyle) override {
        return MessageAnswer::Ok;
    }
};

// What a start does with the database: open with the full check, check
// the rows, look at both tables under the write lock, close.
void BM_StartUpOpen(benchmark::State& state) {
    SavedProject project;
    SilentPresenter presenter;
    CMessageService messages(presenter);
    const DatabaseLocation location{project.Path(), "Pellandrix.mdb", project.Folder()};
    for (auto _ : state) {
        CDaoDatabase db;
        CreateOrOpenDatabase(db, messages, location);
    }
}
BENCHMARK(BM_StartUpOpen)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellandrix
