#include "store/database_location.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "store/dao_database.h"
#include "store/dao_exception.h"
#include "store_fixture.h"
#include "support/string_table.h"
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
    // Widths count characters, whatever their bytes.
    WriteIni("[database]\ndatabase_name=" + std::string(38, 'n') + "äö\n");
    const DatabaseLocation cut = LocateDatabase(Cwd());
    EXPECT_EQ(cut.fileName, std::string(38, 'n') + "ä");
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

// Forks a process that waits until the pipe `release` is closed, runs the
// start-up on `location` as a program of its own would, adds project `n`
// and ends: 0 when all went through, 3 after an error (its message on
// stderr).
pid_t StartInAnotherProcess(const DatabaseLocation& location, const int release[2], int n) {
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    ::close(release[1]);
    char byte = 0;
    while (::read(release[0], &byte, 1) > 0) {
    }
    int status = 0;
    try {
        testkit::RecordingPresenter presenter;
        CMessageService messages(presenter);
        CDaoDatabase db;
        CreateOrOpenDatabase(db, messages, location);
        db.Execute("insert into [project] (ProjectId,ProjectName) values (" + std::to_string(n) +
                   ",'racer" + std::to_string(n) + "');");
    } catch (const std::exception& e) {
        std::cerr << "racer " << n << ": " << e.what() << '\n';
        status = 3;
    }
    ::_exit(status);
}

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

TEST_F(CreateOrOpenTest, AnIniThatExistsButCannotBeReadStopsTheStartUp) {
    const DatabaseLocation expected = LocateDatabase(Cwd());
    const std::string ini = dir / kIniFileName;
    const auto refusal = [&](const std::string& cause) {
        try {
            CDaoDatabase other;
            CreateOrOpenDatabase(other, messages, LocateDatabase(Cwd()), [this] { ++hookCalls; });
        } catch (const CDaoException& e) {
            EXPECT_EQ(e.Message(), FormatMessage(MessageId::kIniUnreadable, ini, cause));
            return;
        }
        ADD_FAILURE() << "the start-up went on with the default database";
    };
    std::filesystem::create_directory(ini);
    refusal(std::strerror(EISDIR));
    std::filesystem::remove(ini);
    std::filesystem::create_symlink(dir / "gone.ini", ini);
    refusal(std::strerror(ENOENT));
    std::filesystem::remove(ini);
    ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0);
    refusal("keine gewöhnliche Datei");
    std::filesystem::remove(ini);
    // "[database]\ndatabase_path=/srv" as Windows' editors save UTF-16.
    std::string utf16("\xff\xfe");
    for (const char c : std::string("[database]\r\ndatabase_path=/srv\r\n")) {
        utf16 += std::string{c, '\0'};
    }
    WriteBytes(ini, utf16);
    refusal("sie ist als UTF-16 gespeichert; lesbar ist sie als UTF-8");
    WriteIni("[database]\ndatabase_path=/srv/pellandrix\n");
    std::filesystem::permissions(ini, std::filesystem::perms::none);
    if (::access(ini.c_str(), R_OK) != 0) {
        refusal(std::strerror(EACCES));
    }
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_EQ(hookCalls, 0);
    EXPECT_FALSE(testkit::Exists(expected.fullPath));
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

// Two starts at the same moment, on no database (both create it) and on
// an old one (both upgrade it): each must end with the one database,
// holding both processes' projects.
TEST_F(CreateOrOpenTest, StartsRacingForOneDatabaseBothGoThrough) {
    // In memory where there is a tmpfs: the race is between the processes,
    // and the disk's flushes would only stretch every round tenfold.
    const bool tmpfs = ::access("/dev/shm", W_OK) == 0;
    const testkit::TempDir raceDir(tmpfs ? "/dev/shm" : dir.Path());
    const DatabaseLocation location = LocateDatabase(raceDir.Path().string());
    const std::string oldSchema =
        "create table project (Id integer primary key autoincrement, ProjectId integer, "
        "ProjectName text(255), TargetPath text(255), SourcePath text(255), "
        "DefCreateFileExt text(255));"
        "create table TPLFile (Id integer primary key autoincrement, ProjectId integer, "
        "TPLFileId integer, TPLFileName text(255), Selected integer, SourcePath text(255), "
        "TargetPath text(255), CreateFile integer, AlwaysParse integer, "
        "SourceFromProject integer, TargetFromProject integer);";
    constexpr int kRounds = 50;
    int failures = 0;
    for (int round = 0; round < 2 * kRounds && failures < 3; ++round) {
        const bool upgrade = round % 2 == 1;
        SCOPED_TRACE(upgrade ? "upgrade" : "creation");
        std::filesystem::remove(location.fullPath);
        if (upgrade) {
            RawQuery(location.fullPath, oldSchema);
        }
        int release[2];
        ASSERT_EQ(::pipe(release), 0);
        const pid_t first = StartInAnotherProcess(location, release, 1);
        const pid_t second = StartInAnotherProcess(location, release, 2);
        ::close(release[0]);
        ::close(release[1]);
        const int firstOutcome = Outcome(first);
        const int secondOutcome = Outcome(second);
        EXPECT_EQ(firstOutcome, 0);
        EXPECT_EQ(secondOutcome, 0);
        const auto projects =
            RawQuery(location.fullPath, "select ProjectName from project order by 1");
        EXPECT_EQ(projects, (std::vector<std::vector<std::string>>{{"racer1"}, {"racer2"}}));
        EXPECT_EQ(RawQuery(location.fullPath,
                           "select count(*) from pragma_table_info('TPLFile') "
                           "where name = 'CreateFileExt'")[0][0],
                  "1");
        EXPECT_EQ(ListingOf(raceDir.Path()), std::vector<std::string>{"Pellandrix.mdb"});
        failures += firstOutcome != 0 || secondOutcome != 0 || projects.size() != 2 ? 1 : 0;
    }
}

TEST_F(CreateOrOpenTest, AFileThatIsNotADatabaseIsReportedAndKept) {
    // A FIFO is refused without being opened for reading, which would wait
    // for a writer for ever.
    ASSERT_EQ(::mkfifo(std::string(dir / "Pellandrix.mdb").c_str(), 0600), 0);
    try {
        Run(LocateDatabase(Cwd()));
        ADD_FAILURE() << "no exception";
    } catch (const CDaoException& e) {
        EXPECT_EQ(e.Message(),
                  std::string(dir / "Pellandrix.mdb") + " ist keine gewöhnliche Datei");
    }
    std::filesystem::remove(dir / "Pellandrix.mdb");
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
