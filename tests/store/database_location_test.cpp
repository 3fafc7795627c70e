#include "store/database_location.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "store/dao_database.h"
#include "store/dao_exception.h"
#include "store_fixture.h"
#include "testkit/files.h"
#include "testkit/recording_presenter.h"

namespace pellandrix {
namespace {

using testkit::RawQuery;
using testkit::WriteBytes;

class LocationTest : public ::testing::Test {
  protected:
    std::string Cwd() const { return dir.Path().string(); }
    void WriteIni(const std::string& text) { WriteBytes(dir / kIniFileName, text); }

    testkit::TempDir dir;
};

TEST_F(LocationTest, WithoutIniTheDatabaseSitsInTheCurrentDirectory) {
    const DatabaseLocation location = LocateDatabase(Cwd());
    EXPECT_EQ(location.fullPath, Cwd() + "/Pellandrix.mdb");
    EXPECT_EQ(location.fileName, "Pellandrix.mdb");
    EXPECT_EQ(location.directory, Cwd() + "/");

    testkit::ScopedCurrentDir inside(dir.Path());
    EXPECT_EQ(LocateDatabase().fullPath, CurrentDirectory() + "/Pellandrix.mdb");
}

TEST_F(LocationTest, RelativePathsHangBelowTheCurrentDirectory) {
    const std::pair<const char*, std::string> cases[] = {
        {".\\daten", "/daten/"},
        {"./daten", "/daten/"},
        {".daten", "/daten/"},
        {"..\\shared", "/./shared/"},
        {".\\web\\daten", "/web/daten/"},
        {"../shared", "/./shared/"},
        {".", "/"},
        {".\\", "/"},
    };
    for (const auto& [setting, suffix] : cases) {
        WriteIni(std::string("[database]\ndatabase_path=") + setting + "\n");
        EXPECT_EQ(LocateDatabase(Cwd()).directory, Cwd() + suffix) << setting;
    }
}

TEST_F(LocationTest, IniReadsLikeTheProfileFunctions) {
    WriteIni(
        "; settings\r\n"
        "[Other]\r\ndatabase_name=wrong.db\r\n"
        "[DATABASE]\r\n"
        "  Database_Name  =  \"projects.db\"  \r\n"
        "database_name=second.db\r\n"
        "DATABASE_PATH=/srv/pellandrix\r\n");
    const DatabaseLocation location = LocateDatabase(Cwd());
    EXPECT_EQ(location.fileName, "projects.db");
    EXPECT_EQ(location.fullPath, "/srv/pellandrix/projects.db");
    EXPECT_EQ(location.directory, "/srv/pellandrix/");
}

TEST_F(LocationTest, MissingKeysDefaultAndLongValuesAreCut) {
    WriteIni("[database]\ndatabase_name=" + std::string(50, 'n') + "\n");
    const DatabaseLocation cut = LocateDatabase(Cwd());
    EXPECT_EQ(cut.fileName, std::string(39, 'n'));
    EXPECT_EQ(cut.directory, Cwd() + "/");

    WriteIni("[database]\ndatabase_path=./" + std::string(120, 'd') + "\n");
    EXPECT_EQ(LocateDatabase(Cwd()).directory, Cwd() + "/" + std::string(99, 'd') + "/");
}

class CreateOrOpenTest : public LocationTest {
  protected:
    DatabaseOpening Run(const DatabaseLocation& location) {
        return CreateOrOpenDatabase(db, messages, location, [this] { ++hookCalls; });
    }

    // What the folder holds besides the INI file, sorted.
    std::vector<std::string> Listing() const { return ListingOf(dir.Path()); }
    static std::vector<std::string> ListingOf(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename() != kIniFileName) {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    testkit::RecordingPresenter presenter;
    CMessageService messages{presenter};
    CDaoDatabase db;
    int hookCalls = 0;
};

// How a forked process ended: its exit status, or 100 + the signal.
int Outcome(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(CreateOrOpenTest, FirstStartAnnouncesAndCreatesTheTables) {
    WriteIni("[database]\ndatabase_path=.\\daten\n");
    const DatabaseLocation location = LocateDatabase(Cwd());
    EXPECT_EQ(Run(location), DatabaseOpening::kCreated);
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(presenter.Texts(),
              std::vector<std::string>{"Es wird eine neue Datenbank in dem Verzeichnis " + Cwd() +
                                       "/daten/ angelegt. "});
    EXPECT_EQ(presenter.shown[0].kind, MessageKind::Notice);
    db.Close();
    EXPECT_EQ(RawQuery(location.fullPath,
                       "select name from sqlite_master where type = 'table' "
                       "and name not like 'sqlite%' order by rowid"),
              (std::vector<std::vector<std::string>>{{"project"}, {"TPLFile"}}));
}

TEST_F(CreateOrOpenTest, LaterStartsOpenQuietlyAndKeepRows) {
    const DatabaseLocation location = LocateDatabase(Cwd());
    Run(location);
    db.Execute("insert into [project] (ProjectId,ProjectName) values (1,'Kept');");
    db.Close();
    presenter.shown.clear();

    EXPECT_EQ(Run(location), DatabaseOpening::kOpened);
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_EQ(RawQuery(location.fullPath, "select ProjectName from project")[0][0], "Kept");
}

TEST_F(CreateOrOpenTest, OnlyTheLastDirectoryLevelIsMade) {
    WriteIni("[database]\ndatabase_path=" + Cwd() + "/a/b\n");
    EXPECT_THROW(Run(LocateDatabase(Cwd())), CDaoException);
    EXPECT_FALSE(testkit::Exists(dir / "a"));
    EXPECT_FALSE(db.IsOpen());
}

// A first start killed while it writes the new database, at several
// points: by the file size limit, whose signal ends the process at its
// first write past the limit. No later start may find half a database.
TEST_F(CreateOrOpenTest, FirstStartKilledWhileCreatingLeavesNoHalfDatabase) {
    const DatabaseLocation location = LocateDatabase(Cwd());
    for (const rlim_t limit : {0, 4096, 12288, 20480}) {
        SCOPED_TRACE(limit);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const rlimit size{limit, limit};
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            ::setrlimit(RLIMIT_FSIZE, &size);
            ::signal(SIGXFSZ, SIG_DFL);
            try {
                Run(location);
            } catch (...) {
                ::_exit(3);
            }
            ::_exit(0);
        }
        EXPECT_EQ(Outcome(pid), 100 + SIGXFSZ);
        EXPECT_FALSE(testkit::Exists(location.fullPath));
    }
    EXPECT_EQ(Run(location), DatabaseOpening::kCreated);
    db.Close();
    EXPECT_EQ(RawQuery(location.fullPath,
                       "select count(*) from sqlite_master where name in ('project', 'TPLFile')"),
              (std::vector<std::vector<std::string>>{{"2"}}));
    // The killed starts' leftovers are gone with the first start that ends.
    EXPECT_EQ(Listing(), std::vector<std::string>{"Pellandrix.mdb"});
}

TEST_F(CreateOrOpenTest, AFileThatIsNotADatabaseIsReportedAndKept) {
    const std::string bytes(5000, 'x');
    WriteBytes(dir / "Pellandrix.mdb", bytes);
    try {
        Run(LocateDatabase(Cwd()));
        FAIL() << "no exception";
    } catch (const CDaoException& e) {
        EXPECT_EQ(e.Code(), SQLITE_NOTADB);
    }
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_EQ(testkit::ReadBytes(dir / "Pellandrix.mdb"), bytes);
}

}  // namespace
}  // namespace pellandrix
