// The application object: start-up, its failure, help lookup.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "support/string_table.h"
#include "testkit/files.h"
#include "testkit/jet_file.h"
#include "testkit/temp_dir.h"
#include "ui/help_system.h"
#include "ui/icon_image_list.h"
#include "ui/main_dlg.h"
#include "ui/pellandrix_app.h"
#include "ui/qt_presenter.h"

namespace pellandrix::ui {
namespace {

using testkit::Exists;
using testkit::ReadBytes;
using testkit::ScopedCurrentDir;
using testkit::TempDir;
using testkit::WriteBytes;

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CQtPresenter::ClearShown();
        CQtPresenter::ScriptAnswers({});
    }
    void TearDown() override {
        CQtPresenter::StopScripting();
        CQtPresenter::ClearShown();
    }
};

TEST_F(AppTest, FirstStartInAnEmptyFolderCreatesTheDatabaseAfterNotice1) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    CQtPresenter::ScriptAnswers({MessageAnswer::Ok});
    {
        CPellandrixApp app;
        EXPECT_EQ(App(), nullptr);
        ASSERT_EQ(app.StartUp(), 0);
        EXPECT_EQ(App(), &app);
        EXPECT_TRUE(app.Started());
        const std::string directory = std::filesystem::current_path().string() + "/";
        ASSERT_EQ(CQtPresenter::Shown().size(), 1u);
        EXPECT_EQ(CQtPresenter::Shown()[0], FormatMessage(MessageId::kNewDatabase, directory, ""));
        EXPECT_TRUE(Exists(dir / "Pellandrix.mdb"));
        EXPECT_EQ(app.Core().Location().directory, directory);
        EXPECT_TRUE(app.Core().Database().IsOpen());
        EXPECT_EQ(app.ShutDown(), 0);
        EXPECT_FALSE(app.Started());
    }
    EXPECT_EQ(App(), nullptr);

    // A second start finds the database: no notice.
    CQtPresenter::ClearShown();
    CPellandrixApp again;
    ASSERT_EQ(again.StartUp(), 0);
    EXPECT_TRUE(CQtPresenter::Shown().empty());
    again.ShutDown();
}

TEST_F(AppTest, ATestPresenterCanBeGiven) {
    struct Counting : IMessagePresenter {
        int count = 0;
        MessageAnswer Present(MessageKind, const std::string&, ButtonStyle) override {
            ++count;
            return MessageAnswer::Ok;
        }
    } presenter;
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    CPellandrixApp app(presenter);
    ASSERT_EQ(app.StartUp(), 0);
    EXPECT_EQ(presenter.count, 1);
    EXPECT_TRUE(CQtPresenter::Shown().empty());
}

TEST_F(AppTest, ANonDatabaseFileFailsWithMessage15AndStaysByteForByte) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    std::string junk = "Dies ist keine Datenbank.\r\n";
    for (int i = 0; i < 200; ++i) {
        junk += static_cast<char>(i * 7);
    }
    WriteBytes(dir / "Pellandrix.mdb", junk);
    CPellandrixApp app;
    EXPECT_NE(app.StartUp(), 0);
    EXPECT_FALSE(app.Started());
    ASSERT_EQ(CQtPresenter::Shown().size(), 1u);
    const std::string shown = CQtPresenter::Shown()[0];
    const std::string full = std::filesystem::current_path().string() + "/Pellandrix.mdb";
    const std::string prefix = FormatMessage(MessageId::kDatabaseFailed, full, "");
    EXPECT_EQ(shown.substr(0, prefix.size()), prefix) << shown;
    EXPECT_GT(shown.size(), prefix.size()) << "the engine's message follows";
    EXPECT_EQ(ReadBytes(dir / "Pellandrix.mdb"), junk);
}

TEST_F(AppTest, InitInstanceEndsWithANonZeroStatusWhenTheDatabaseFails) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    WriteBytes(dir / "Pellandrix.mdb", std::string(4096, 'x'));
    CPellandrixApp app;
    int argc = 1;
    char name[] = "pellandrix";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(app.InitInstance(argc, argv), 1);
    EXPECT_EQ(CQtPresenter::Shown().size(), 1u);
    EXPECT_EQ(ReadBytes(dir / "Pellandrix.mdb"), std::string(4096, 'x'));

    // The start-up made Qt's own texts German, whatever the system's locale.
    QMessageBox box;
    EXPECT_EQ(box.addButton(QMessageBox::Yes)->text().toStdString(), "&Ja");
    EXPECT_EQ(box.addButton(QMessageBox::Cancel)->text().toStdString(), "Abbrechen");
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog, true);
    EXPECT_EQ(files.labelText(QFileDialog::LookIn).toStdString(), "Suchen in:");
    EXPECT_EQ(files.labelText(QFileDialog::FileName).toStdString(), "Datei&name:");
}

TEST_F(AppTest, AFolderOnTheCommandLineIsWhereTheProgramStarts) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    std::filesystem::create_directory(dir.Path() / "site");
    WriteBytes(dir / "site/Pellandrix.mdb", std::string(4096, 'x'));
    CPellandrixApp app;
    int argc = 2;
    char name[] = "pellandrix";
    char site[] = "site";
    char* argv[] = {name, site, nullptr};
    // The damaged database is the one in site/: refused there, untouched.
    EXPECT_EQ(app.InitInstance(argc, argv), 1);
    ASSERT_EQ(CQtPresenter::Shown().size(), 1u);
    EXPECT_NE(CQtPresenter::Shown()[0].find("/site/Pellandrix.mdb"), std::string::npos);
    EXPECT_EQ(ReadBytes(dir / "site/Pellandrix.mdb"), std::string(4096, 'x'));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Pellandrix.mdb"));

    std::filesystem::current_path(dir.Path());
    CPellandrixApp again;
    char missing[] = "nirgends";
    char* argv2[] = {name, missing, nullptr};
    EXPECT_EQ(again.InitInstance(argc, argv2), 1);
    EXPECT_EQ(CQtPresenter::Shown().back(),
              FormatMessage(MessageId::kNoSuchDirectory, "nirgends", ""));
}

// Asked first: No ends the program with the file as it was, Yes converts
// it and the main window lists its projects.
TEST_F(AppTest, AnOldJetDatabaseIsConvertedOnlyAfterYes) {
    for (const auto version : {testkit::JetVersion::kJet3, testkit::JetVersion::kJet4}) {
        TempDir dir;
        const ScopedCurrentDir cd(dir.Path());
        const std::string full = std::filesystem::current_path().string() + "/Pellandrix.mdb";
        const std::string jet = testkit::WriteCheckedJetFile(dir / "Pellandrix.mdb", version,
                                                             testkit::SampleProjectJetTables(2));
        CQtPresenter::ClearShown();
        CQtPresenter::ScriptAnswers({MessageAnswer::No});
        {
            CPellandrixApp app;
            int argc = 1;
            char name[] = "pellandrix";
            char* argv[] = {name, nullptr};
            EXPECT_EQ(app.InitInstance(argc, argv), 0);
        }
        EXPECT_EQ(CQtPresenter::Shown(), std::vector<std::string>{FormatMessage(
                                             MessageId::kConvertJetDatabase, full, "")});
        EXPECT_EQ(ReadBytes(dir / "Pellandrix.mdb"), jet);
        EXPECT_FALSE(Exists(dir / "Pellandrix.jet"));

        CQtPresenter::ScriptAnswers({MessageAnswer::Yes, MessageAnswer::Ok});
        CPellandrixApp app;
        ASSERT_EQ(app.StartUp(), 0);
        const std::string aside = std::filesystem::current_path().string() + "/Pellandrix.jet";
        ASSERT_EQ(CQtPresenter::Shown().size(), 3u);
        EXPECT_EQ(CQtPresenter::Shown()[2],
                  FormatMessage(MessageId::kJetDatabaseConverted, full, aside));
        EXPECT_EQ(ReadBytes(dir / "Pellandrix.jet"), jet);
        {
            CMainDlg window;
            const QComboBox* box = window.ProjectBox();
            ASSERT_EQ(box->count(), 3);
            EXPECT_EQ(box->itemText(0).toStdString(), testkit::kSampleProjectName);
            EXPECT_EQ(box->itemText(2).toStdString(), "Café d'Ämter");
        }
        app.ShutDown();
    }
}

TEST_F(AppTest, TheDataFolderOptionStartsInTheUsersDataFolderMadeReady) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    std::optional<testkit::ScopedEnv> data(std::in_place, "XDG_DATA_HOME", dir / "daten");
    std::filesystem::create_directories(dir.Path() / "daten/pellandrix");
    WriteBytes(dir / "daten/pellandrix/Pellandrix.mdb", std::string(4096, 'x'));
    int argc = 2;
    char name[] = "pellandrix";
    char option[] = "--data-folder";
    char* argv[] = {name, option, nullptr};
    // The damaged database shows where the program went, after the folder
    // got its extension list.
    CPellandrixApp app;
    EXPECT_EQ(app.InitInstance(argc, argv), 1);
    ASSERT_EQ(CQtPresenter::Shown().size(), 1u);
    EXPECT_NE(CQtPresenter::Shown()[0].find("/daten/pellandrix/Pellandrix.mdb"), std::string::npos);
    EXPECT_TRUE(Exists(dir / "daten/pellandrix/fileext.def"));

    std::filesystem::current_path(dir.Path());
    data.emplace("XDG_DATA_HOME", dir / "daten/pellandrix/Pellandrix.mdb");
    CPellandrixApp again;
    EXPECT_EQ(again.InitInstance(argc, argv), 1);
    EXPECT_EQ(
        CQtPresenter::Shown().back(),
        FormatMessage(MessageId::kDataFolderFailed,
                      dir / "daten/pellandrix/Pellandrix.mdb/pellandrix", std::strerror(ENOTDIR)));
    EXPECT_EQ(std::filesystem::current_path(), dir.Path());
    data.reset();

    char help[] = "--help";
    char* argv2[] = {name, help, nullptr};
    CPellandrixApp helped;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(helped.InitInstance(argc, argv2), 0);
    std::fflush(stdout);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("pellandrix --data-folder"),
              std::string::npos);
}

TEST_F(AppTest, AMissingDatabaseDirectoryParentFails) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    WriteBytes(dir / "Pellandrix.ini",
               "[database]\r\ndatabase_path=./nicht/da\r\ndatabase_name=P.mdb\r\n");
    CQtPresenter::ScriptAnswers({MessageAnswer::Ok});
    CPellandrixApp app;
    EXPECT_NE(app.StartUp(), 0);
    ASSERT_EQ(CQtPresenter::Shown().size(), 2u);  // notice 1, then message 15
    EXPECT_NE(CQtPresenter::Shown()[1].find("kann nicht geöffnet werden"), std::string::npos);
}

TEST_F(AppTest, HelpFileIsLookedForInTheStartDirectoryFirst) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    {
        CPellandrixApp app;
        // None in the start directory: the source tree's data/ folder.
        const std::string path = app.HelpFilePath();
        EXPECT_TRUE(Exists(path)) << path;
        EXPECT_EQ(std::filesystem::path(path).filename(), kHelpFileName);
        EXPECT_NE(std::filesystem::path(path).parent_path(), std::filesystem::current_path());
    }
    WriteBytes(dir / kHelpFileName, "<section id=\"topic-0\"><p>Eigene Hilfe</p></section>");
    CPellandrixApp app;
    EXPECT_EQ(app.HelpFilePath(), std::filesystem::current_path().string() + "/" + kHelpFileName);
}

TEST_F(AppTest, WinHelpShowsTheTopicOfTheDialog) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    CPellandrixApp app;
    ASSERT_EQ(app.StartUp(), 0);
    app.WinHelp(0x20000 + 102);
    EXPECT_TRUE(HelpWindowVisible());
    EXPECT_EQ(HelpWindowAnchor(), QStringLiteral("topic-10000"));
    app.WinHelp(0x20000 + 105);
    EXPECT_EQ(HelpWindowAnchor(), QStringLiteral("topic-30000"));
    app.WinHelp(0x20000 + 136);
    EXPECT_EQ(HelpWindowAnchor(), QStringLiteral("topic-0"));
    app.ShowHelpTopic(20000);
    EXPECT_EQ(HelpWindowAnchor(), QStringLiteral("topic-20000"));
}

TEST_F(AppTest, OwnIconsAreResources) {
    for (int id : {128, 132, 135}) {
        const QIcon icon = LoadIconResource(id);
        ASSERT_FALSE(icon.isNull()) << id;
        EXPECT_FALSE(icon.pixmap(16, 16).isNull()) << id;
    }
    EXPECT_TRUE(LoadIconResource(4711).isNull());
    CIconImageList list;
    EXPECT_EQ(list.Add(LoadIconResource(132)), 0);
    EXPECT_EQ(list.Add(LoadIconResource(135)), 1);
    EXPECT_FALSE(list.Icon(1).isNull());
    EXPECT_TRUE(list.Icon(2).isNull());
    EXPECT_TRUE(list.Icon(-1).isNull());
}

}  // namespace
}  // namespace pellandrix::ui
