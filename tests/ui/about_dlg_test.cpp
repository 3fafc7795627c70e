// The about box.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <ctime>
#include <filesystem>

#include "control_text.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"
#include "ui/about_dlg.h"
#include "ui/help_system.h"
#include "ui/pellandrix_app.h"
#include "ui/qt_presenter.h"

namespace pellandrix::ui {
namespace {

using testkit::ScopedCurrentDir;
using testkit::TempDir;

class AboutDlgTest : public ::testing::Test {
  protected:
    void SetUp() override { CQtPresenter::ScriptAnswers({MessageAnswer::Ok}); }
    void TearDown() override {
        CQtPresenter::StopScripting();
        CQtPresenter::ClearShown();
    }
};

TEST_F(AboutDlgTest, ShowsVersionDatabaseDirectoryAndCreationDate) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    CPellandrixApp app;
    ASSERT_EQ(app.StartUp(), 0);
    CAboutDlg dlg;
    EXPECT_EQ(dlg.HelpId(), 136);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Info über Pellandrix"));
    EXPECT_EQ(dlg.size(), QSize(dlg.DialogUnitsX(267), dlg.DialogUnitsY(161)));
    EXPECT_EQ(TextOf(dlg.Control(kAboutVersion)), "Version 1.020");
    const std::string directory = TextOf(dlg.Control(kAboutDatabaseDir));
    EXPECT_EQ(directory, std::filesystem::current_path().string() + "/");
    EXPECT_EQ(directory.back(), '/');
    // The database was made just now: today's date.
    EXPECT_EQ(TextOf(dlg.Control(kAboutCreated)), CAboutDlg::FormatDate(std::time(nullptr)));
    EXPECT_TRUE(dlg.ControlAs<QLineEdit>(kAboutDatabaseDir)->isReadOnly());
    EXPECT_TRUE(dlg.ControlAs<QLineEdit>(kAboutCreated)->isReadOnly());
    // The help button shows the help icon instead of its caption.
    auto* help = dlg.ControlAs<QPushButton>(kAboutHelp);
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(help->icon().isNull());
    EXPECT_TRUE(help->text().isEmpty());
    // The control table names fields 1028 and 1029 without topic or tooltip.
    ASSERT_NE(dlg.ControlTable(), nullptr);
    EXPECT_EQ(dlg.ControlTable()[0].controlId, kAboutDatabaseDir);
    EXPECT_EQ(dlg.ControlTable()[1].controlId, kAboutCreated);
    EXPECT_EQ(dlg.ControlTable()[2].controlId, 0);
    EXPECT_EQ(dlg.HelpTopicOf(kAboutDatabaseDir), 0);
    // The database lies in the working folder, which needs no row of its own.
    EXPECT_TRUE(dlg.Control(kAboutWorkingDir)->isHidden());
}

TEST_F(AboutDlgTest, TheWorkingFolderIsShownWhenTheDatabaseLiesElsewhere) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    testkit::WriteBytes(dir / "Pellandrix.ini", "[database]\r\ndatabase_path=.\\data\r\n");
    CPellandrixApp app;
    ASSERT_EQ(app.StartUp(), 0);
    CAboutDlg dlg;
    const std::string here = std::filesystem::current_path().string() + "/";
    EXPECT_EQ(TextOf(dlg.Control(kAboutDatabaseDir)), here + "data/");
    EXPECT_FALSE(dlg.Control(kAboutWorkingDir)->isHidden());
    EXPECT_EQ(TextOf(dlg.Control(kAboutWorkingDir)), here);
    EXPECT_TRUE(dlg.ControlAs<QLineEdit>(kAboutWorkingDir)->isReadOnly());
    // Its row is laid out like the rows above: label on top, field as wide,
    // and the buttons below it.
    const QRect work = dlg.Control(kAboutWorkingDir)->geometry();
    const QRect database = dlg.Control(kAboutDatabaseDir)->geometry();
    EXPECT_EQ(work.left(), database.left());
    EXPECT_EQ(work.width(), database.width());
    EXPECT_GT(dlg.ControlAs<QPushButton>(1)->y(), work.bottom());
    // A screen reader names every field.
    for (const QLineEdit* field : dlg.findChildren<QLineEdit*>()) {
        EXPECT_FALSE(field->accessibleName().isEmpty()) << field->text().toStdString();
    }
}

TEST_F(AboutDlgTest, OkEndsWithOkEscapeWithCancelHelpShowsTheStartPage) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    CPellandrixApp app;
    ASSERT_EQ(app.StartUp(), 0);
    {
        CAboutDlg dlg;
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        QTest::mouseClick(dlg.ControlAs<QPushButton>(kAboutHelp), Qt::LeftButton);
        EXPECT_EQ(HelpWindowAnchor(), QStringLiteral("topic-0"));
        QTest::mouseClick(dlg.ControlAs<QPushButton>(1), Qt::LeftButton);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_FALSE(dlg.isVisible());
    }
    {
        CAboutDlg dlg;
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    }
}

TEST(AboutDlgDate, FormatHasLeadingZeros) {
    std::tm t{};
    t.tm_mday = 5;
    t.tm_mon = 2;
    t.tm_year = 107;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    EXPECT_EQ(CAboutDlg::FormatDate(std::mktime(&t)), "05.03.2007");
}

TEST(AboutDlgDate, MissingFileGivesAnEmptyDate) {
    TempDir dir;
    EXPECT_EQ(CAboutDlg::CreationDate(dir / "fehlt.mdb"), "");
}

TEST(AboutDlgDate, WithoutAStartedAppTheBoxStillOpens) {
    TempDir dir;
    const ScopedCurrentDir cd(dir.Path());
    CAboutDlg dlg;
    EXPECT_EQ(TextOf(dlg.Control(kAboutCreated)), "");  // no database file
    EXPECT_EQ(TextOf(dlg.Control(kAboutDatabaseDir)),
              std::filesystem::current_path().string() + "/");
}

}  // namespace
}  // namespace pellandrix::ui
