// Old Jet databases at start-up: converted with every row, id and value,
// or refused with the Jet file left byte for byte where it was. Every Jet
// file is made by the test generator and read by mdb-export first.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "store/dao_exception.h"
#include "store/database_creation.h"
#include "store/database_location.h"
#include "store/project_record.h"
#include "store/tpl_file_record.h"
#include "store_fixture.h"
#include "support/string_table.h"
#include "testkit/files.h"
#include "testkit/jet_file.h"
#include "testkit/recording_presenter.h"

namespace pellandrix {
namespace {

using testkit::JetTable;
using testkit::JetValue;
using testkit::JetVersion;
using testkit::ReadBytes;

constexpr JetVersion kVersions[] = {JetVersion::kJet3, JetVersion::kJet4};

class JetConversionTest : public ::testing::Test, public testkit::StoreFixture {
  protected:
    DatabaseOpening Start(JetFileChoice choice) {
        CMessageService messages(presenter);
        db.Close();
        return CreateOrOpenDatabase(db, messages, {Path(), "Pellandrix.mdb", dir / ""}, {}, choice);
    }

    // The message of the CDaoException the start raises; empty when none.
    std::string Refusal() {
        try {
            Start(JetFileChoice::kConvertWithNotice);
        } catch (const CDaoException& e) {
            return e.Message();
        }
        return "";
    }

    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Every row of `table` as stored, Null and empty text apart.
    std::vector<std::vector<std::string>> Stored(const JetTable& table) {
        std::string columns;
        for (const auto& c : table.columns) {
            columns += (columns.empty() ? "quote(" : ", quote(") + c.name + ")";
        }
        return testkit::RawQuery(Path(),
                                 "select " + columns + " from " + table.name + " order by Id");
    }

    static std::vector<std::vector<std::string>> Expected(const JetTable& table) {
        std::vector<std::vector<std::string>> rows;
        for (const testkit::JetRow& row : table.rows) {
            auto& out = rows.emplace_back();
            for (const JetValue& v : row) {
                if (!v) {
                    out.push_back("NULL");
                } else if (const auto* n = std::get_if<std::int32_t>(&*v)) {
                    out.push_back(std::to_string(*n));
                } else {
                    std::string quoted = "'";
                    for (const char c : std::get<std::string>(*v)) {
                        quoted += c == '\'' ? std::string("''") : std::string(1, c);
                    }
                    out.push_back(quoted + "'");
                }
            }
        }
        return rows;
    }

    testkit::RecordingPresenter presenter;
};

TEST_F(JetConversionTest, EveryRowIdAndValueOfBothVersionsSurvives) {
    std::vector<JetTable> tables = testkit::SampleProjectJetTables(1000);
    // An entry left by a deleted project stays, its number free again there.
    testkit::JetRow orphan = tables[1].rows[0];
    orphan[0] = JetValue(std::int32_t{4000});
    orphan[1] = JetValue(std::int32_t{9});
    tables[1].rows.push_back(orphan);
    for (const JetVersion version : kVersions) {
        SCOPED_TRACE(version == JetVersion::kJet3 ? "Jet 3" : "Jet 4");
        db.Close();
        std::filesystem::remove_all(dir.Path());
        std::filesystem::create_directory(dir.Path());
        presenter.shown.clear();
        const std::string jet = testkit::WriteCheckedJetFile(Path(), version, tables);

        // libmdb's own settings, as a user may have them, change nothing.
        ::setenv("MDBICONV", "ISO-8859-1", 1);
        ::setenv("MDB_JET3_CHARSET", "KOI8-R", 1);
        EXPECT_EQ(Start(JetFileChoice::kConvertWithNotice), DatabaseOpening::kOpened);
        EXPECT_STREQ(std::getenv("MDB_JET3_CHARSET"), "KOI8-R");
        ::unsetenv("MDBICONV");
        ::unsetenv("MDB_JET3_CHARSET");
        EXPECT_TRUE(db.IsOpen());
        EXPECT_EQ(presenter.Texts(),
                  std::vector<std::string>{FormatMessage(MessageId::kJetDatabaseConverted, Path(),
                                                         dir / "Pellandrix.jet")});
        EXPECT_EQ(ReadBytes(dir / "Pellandrix.jet"), jet);
        EXPECT_EQ(Files(), (std::vector<std::string>{"Pellandrix.jet", "Pellandrix.mdb"}));
        for (const JetTable& table : tables) {
            EXPECT_EQ(Stored(table), Expected(table)) << table.name;
        }
    }
}

TEST_F(JetConversionTest, AMissingCreateFileExtIsAddedAsTheUpgradeAddsIt) {
    const std::vector<JetTable> tables = testkit::SampleProjectJetTables(3, false);
    testkit::WriteCheckedJetFile(Path(), JetVersion::kJet3, tables);
    Start(JetFileChoice::kConvertWithNotice);
    EXPECT_EQ(Stored(tables[1]), Expected(tables[1]));
    EXPECT_EQ(testkit::RawQuery(Path(), "select count(*) from TPLFile where CreateFileExt is null"),
              (std::vector<std::vector<std::string>>{{"3"}}));
}

TEST_F(JetConversionTest, TheOldFileTakesTheFirstFreeJetName) {
    const std::string jet =
        testkit::WriteCheckedJetFile(Path(), JetVersion::kJet4, testkit::SampleProjectJetTables(1));
    testkit::WriteBytes(dir / "Pellandrix.jet", "älter");
    testkit::WriteBytes(dir / "Pellandrix.1.jet", "noch älter");
    Start(JetFileChoice::kConvertWithNotice);
    EXPECT_EQ(ReadBytes(dir / "Pellandrix.2.jet"), jet);
    EXPECT_EQ(ReadBytes(dir / "Pellandrix.jet"), "älter");
    EXPECT_EQ(ReadBytes(dir / "Pellandrix.1.jet"), "noch älter");
}

// A conversion killed after giving the Jet file its second name is finished
// by the next start under that name; a database lost after a conversion is
// made anew only with a word about the Jet file beside it.
TEST_F(JetConversionTest, AStartFinishesAKilledConversionAndNamesAJetFileBesideANewDatabase) {
    const std::string jet =
        testkit::WriteCheckedJetFile(Path(), JetVersion::kJet4, testkit::SampleProjectJetTables(2));
    ASSERT_EQ(::link(Path().c_str(), std::string(dir / "Pellandrix.jet").c_str()), 0);
    EXPECT_EQ(Start(JetFileChoice::kConvertWithNotice), DatabaseOpening::kOpened);
    EXPECT_EQ(Files(), (std::vector<std::string>{"Pellandrix.jet", "Pellandrix.mdb"}));
    EXPECT_EQ(ReadBytes(dir / "Pellandrix.jet"), jet);

    db.Close();
    std::filesystem::remove(Path());
    presenter.shown.clear();
    EXPECT_EQ(Start(JetFileChoice::kConvertWithNotice), DatabaseOpening::kCreated);
    ASSERT_EQ(presenter.Texts().size(), 2u);
    EXPECT_EQ(presenter.Texts()[1],
              FormatMessage(MessageId::kJetFileBesideNewDatabase, dir / "Pellandrix.jet", Path()));
}

TEST_F(JetConversionTest, AskingFirstConvertsOnlyOnYes) {
    const std::string jet =
        testkit::WriteCheckedJetFile(Path(), JetVersion::kJet4, testkit::SampleProjectJetTables(2));
    const std::string question = FormatMessage(MessageId::kConvertJetDatabase, Path(), "");
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Other}) {
        presenter.shown.clear();
        presenter.answers = {answer};
        EXPECT_EQ(Start(JetFileChoice::kAskFirst), DatabaseOpening::kDeclined);
        EXPECT_FALSE(db.IsOpen());
        EXPECT_EQ(presenter.Texts(), std::vector<std::string>{question});
        EXPECT_EQ(ReadBytes(Path()), jet);
        EXPECT_EQ(Files(), std::vector<std::string>{"Pellandrix.mdb"});
    }
    presenter.shown.clear();
    presenter.answers = {MessageAnswer::Yes};
    EXPECT_EQ(Start(JetFileChoice::kAskFirst), DatabaseOpening::kOpened);
    ASSERT_EQ(presenter.Texts().size(), 2u);
    EXPECT_EQ(presenter.shown[0].buttons, ButtonStyle::YesNo);
    EXPECT_EQ(ReadBytes(dir / "Pellandrix.jet"), jet);
}

// Each refused with message 50 naming the cause, no new file left, and the
// Jet file byte for byte where it was.
TEST_F(JetConversionTest, DamagedOrForeignFilesAreRefusedAndKept) {
    const std::size_t page = testkit::JetPageSize(JetVersion::kJet4);
    const std::string good = testkit::WriteCheckedJetFile(Path(), JetVersion::kJet4,
                                                          testkit::SampleProjectJetTables(200));
    // Pages: 0 header, 1 usage maps, 2-3 catalog, 4-5 project, 6 on TPLFile.
    // Four bytes of the catalog's pointer to its usage map, aimed at a row
    // past the end of the map page, crash libmdb itself.
    std::string crashing = good;
    crashing.replace(2 * page + 0x37, 4, std::string("\xff\x01\x00\x00", 4));
    const auto replacePage = [&](std::size_t at, std::size_t from) {
        return good.substr(0, at * page) + good.substr(from * page, page) +
               good.substr((at + 1) * page);
    };
    const auto check = [&](auto change) {
        std::vector<JetTable> tables = testkit::SampleProjectJetTables(2);
        change(tables);
        return testkit::WriteCheckedJetFile(Path(), JetVersion::kJet4, tables);
    };
    using Tables = std::vector<JetTable>;
    const std::pair<std::string, std::string> cases[] = {
        {good.substr(0, good.size() - 100), "cut short"},
        {crashing, "die alte Datenbank ist beschädigt: das Lesen brach mit Signal"},
        {good.substr(0, good.size() - 2 * page), "rows readable"},
        {replacePage(8, 5), "rows readable"},
        {replacePage(6, 8), "no readable table TPLFile"},
        {check([](Tables& t) { t.pop_back(); }), "no readable table TPLFile"},
        {check([](Tables& t) {
             t[0].columns.push_back({"Notiz", testkit::JetColumn::Type::kText});
             for (auto& row : t[0].rows) {
                 row.push_back(JetValue(std::string("x")));
             }
         }),
         "column Notiz"},
        {check([](Tables& t) {
             t[0].columns[1].type = testkit::JetColumn::Type::kText;
             for (auto& row : t[0].rows) {
                 row[1] = JetValue(std::string("eins"));
             }
         }),
         "column ProjectId"},
        // U+0081, one of the bytes Windows-1252 leaves undefined, read as
        // the C1 control it stands for.
        {check([](Tables& t) { t[1].rows[0][3] = JetValue(std::string("seite\u0081.tpl")); }),
         FormatMessage(MessageId::kControlCharacter, "TPLFile.TPLFileName in der Zeile mit Id 3",
                       "")},
        {check([](Tables& t) { t[1].rows[1][5] = JetValue(std::string("/srv/a\nb")); }),
         FormatMessage(MessageId::kControlCharacter, "TPLFile.SourcePath in der Zeile mit Id 5",
                       "")},
        {check([](Tables& t) { t[0].rows[1][2] = JetValue(std::string(50, 'p')); }),
         FormatMessage(MessageId::kRowNotRepresentable, "project.ProjectName", "2")},
        // Numbers the program never gives: below 1, or a second time.
        {check([](Tables& t) { t[0].rows[2][1] = JetValue(std::int32_t{2}); }),
         FormatMessage(MessageId::kIdNeverGiven, "project.ProjectId", "7")},
        {check([](Tables& t) { t[1].rows[1][2] = JetValue(std::int32_t{0}); }),
         FormatMessage(MessageId::kIdNeverGiven, "TPLFile.TPLFileId", "5")},
        {check([](Tables& t) { t[1].rows[0][2] = JetValue(std::int32_t{2}); }),
         FormatMessage(MessageId::kIdNeverGiven, "TPLFile.TPLFileId", "5")},
        {check([](Tables& t) { t[0].rows[0][0] = JetValue(std::int32_t{-1}); }),
         FormatMessage(MessageId::kIdNeverGiven, "project.Id", "-1")},
    };
    const std::string before = FormatMessage(MessageId::kJetConversionFailed, "", "");
    const std::string prefix = before.substr(0, before.find('('));
    for (const auto& [bytes, cause] : cases) {
        SCOPED_TRACE(cause);
        testkit::WriteBytes(Path(), bytes);
        presenter.shown.clear();
        const std::string refusal = Refusal();
        EXPECT_EQ(refusal.substr(0, prefix.size()), prefix) << refusal;
        EXPECT_NE(refusal.find(cause), std::string::npos) << refusal;
        EXPECT_FALSE(db.IsOpen());
        EXPECT_TRUE(presenter.shown.empty());
        EXPECT_EQ(ReadBytes(Path()), bytes);
        EXPECT_EQ(Files(), std::vector<std::string>{"Pellandrix.mdb"});
    }
}

// Two starts at once: the one that waited for the other's conversion opens
// its result instead of converting that again.
TEST_F(JetConversionTest, AStartThatWaitedForAnotherConversionOpensItsResult) {
    testkit::WriteCheckedJetFile(Path(), JetVersion::kJet3, testkit::SampleProjectJetTables(2));
    const int fd = ::open(Path().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    DatabaseOpening opening = DatabaseOpening::kDeclined;
    std::string refusal;
    std::thread other([&] {
        try {
            opening = Start(JetFileChoice::kConvertWithNotice);
        } catch (const CDaoException& e) {
            refusal = e.Message();
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // What the first start does while holding the lock.
    std::filesystem::rename(Path(), dir / "Pellandrix.jet");
    CreateDatabaseOnce(Path(), [](CDaoDatabase& made) {
        CProjectRecord::CreateTable(made);
        CTplFileRecord::CreateTable(made);
    });
    ::close(fd);
    other.join();
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(opening, DatabaseOpening::kOpened);
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_EQ(Files(), (std::vector<std::string>{"Pellandrix.jet", "Pellandrix.mdb"}));
}

}  // namespace
}  // namespace pellandrix
