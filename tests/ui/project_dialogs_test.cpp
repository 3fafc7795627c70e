// The new-project and project settings dialogs, driven through their widgets
// on a started application in a temporary folder.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "dialog_test_app.h"
#include "ui/extension_combo.h"
#include "ui/file_choosers.h"
#include "ui/new_project_dlg.h"
#include "ui/pellandrix_app.h"
#include "ui/project_settings_dlg.h"

namespace pellandrix::ui {
namespace {

using testing::ClippedCaptions;
using testing::ComboTexts;
using testing::ShowActive;
using testing::StartedApp;
using testing::UnnamedControls;

void Click(const CBaseDialog& dlg, int id) {
    auto* button = dlg.ControlAs<QAbstractButton>(id);
    ASSERT_NE(button, nullptr) << "control " << id;
    QTest::mouseClick(button, Qt::LeftButton);
}

void TypeInto(const CBaseDialog& dlg, int id, const QString& text) {
    auto* edit = dlg.ControlAs<QLineEdit>(id);
    ASSERT_NE(edit, nullptr) << "control " << id;
    edit->clear();
    QTest::keyClicks(edit, text);
}

// ---------------------------------------------------------------------------
// New project

TEST(NewProjectDlg, RefusesAnEmptyNameSilentlyAndTakesTheTypedOneAsItStands) {
    StartedApp app;
    ASSERT_TRUE(app.Started());
    const size_t messagesBefore = app.Presenter().shown.size();
    CNewProjectDlg dlg;
    ASSERT_TRUE(ShowActive(dlg));

    Click(dlg, 1);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(app.Presenter().shown.size(), messagesBefore);
    EXPECT_EQ(dlg.EnteredName(), "");

    TypeInto(dlg, CNewProjectDlg::kNameField, QStringLiteral("  Übersicht "));
    Click(dlg, 1);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.EnteredName(), "  Übersicht ");
}

TEST(NewProjectDlg, StaysOpenWithTheMessageForANameInUse) {
    StartedApp app;
    ASSERT_TRUE(app.Started());
    CProjectSession& session = App()->Session();
    session.LoadProjects();
    ASSERT_TRUE(session.NewProject([] { return std::optional<std::string>("Site"); },
                                   [](CProjectRecord&) { return Outcome(); }));
    const size_t messagesBefore = app.Presenter().shown.size();
    CNewProjectDlg dlg;
    ASSERT_TRUE(ShowActive(dlg));
    TypeInto(dlg, CNewProjectDlg::kNameField, QStringLiteral("Site"));
    Click(dlg, 1);
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(app.Presenter().shown.size(), messagesBefore + 1);
    EXPECT_EQ(app.Presenter().shown.back().text,
              FormatMessage(MessageId::kProjectNameTaken, "Site", ""));
    TypeInto(dlg, CNewProjectDlg::kNameField, QStringLiteral("Site 2"));
    Click(dlg, 1);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.EnteredName(), "Site 2");
}

TEST(NewProjectDlg, CutsTheNameToTheRecordWidthAndCancelsWithEscape) {
    StartedApp app;
    CNewProjectDlg dlg;
    ASSERT_TRUE(ShowActive(dlg));
    TypeInto(dlg, CNewProjectDlg::kNameField, QString(60, QLatin1Char('n')));
    Click(dlg, 1);
    EXPECT_EQ(dlg.EnteredName(), std::string(49, 'n'));

    CNewProjectDlg second;
    ASSERT_TRUE(ShowActive(second));
    TypeInto(second, CNewProjectDlg::kNameField, QStringLiteral("Alpha"));
    QTest::keyClick(&second, Qt::Key_Escape);
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(second.result(), QDialog::Rejected);
    EXPECT_EQ(second.EnteredName(), "");
}

TEST(NewProjectDlg, EnterMovesTheFocusInsteadOfClosing) {
    StartedApp app;
    CNewProjectDlg dlg;
    ASSERT_TRUE(ShowActive(dlg));
    auto* name = dlg.ControlAs<QLineEdit>(CNewProjectDlg::kNameField);
    ASSERT_TRUE(name->hasFocus());
    QTest::keyClicks(name, QStringLiteral("Alpha"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(name->hasFocus());
    EXPECT_EQ(dlg.EnteredName(), "");
}

TEST(NewProjectDlg, LooksAsTheUserExpects) {
    StartedApp app;
    CNewProjectDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Projekt"));
    EXPECT_EQ(dlg.HelpId(), 103);
    EXPECT_EQ(dlg.ControlAs<QPushButton>(2)->text(), QStringLiteral("Abbruch"));
    EXPECT_TRUE(dlg.ControlAs<QPushButton>(1)->isDefault());
    EXPECT_EQ(UnnamedControls(dlg), QStringList());
    EXPECT_EQ(ClippedCaptions(dlg), QStringList());
}

// ---------------------------------------------------------------------------
// Project settings

struct ProjectSettings : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(app.Started());
        project.ProjectId = 7;
        project.ProjectName = "Site";
        project.SourcePath = "/data/src";
        project.TargetPath = "/data/out";
        project.DefCreateFileExt = "html";
    }
    void TearDown() override { ResetChoosers(); }

    StartedApp app;
    CProjectRecord project;
};

TEST_F(ProjectSettings, FillsTheFieldsFromTheRecordAndSelectsTheStoredExtension) {
    CProjectSettingsDlg dlg(project);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Projekteinstellungen"));
    EXPECT_EQ(TextOf(dlg.Control(1011)), "Site");
    EXPECT_EQ(TextOf(dlg.Control(1012)), "/data/src");
    EXPECT_EQ(TextOf(dlg.Control(1013)), "/data/out");
    auto* combo = dlg.ControlAs<QComboBox>(1023);
    EXPECT_EQ(ComboTexts(combo), QStringList({"htm", "html", "php"}));
    EXPECT_EQ(combo->currentText(), QStringLiteral("html"));
    EXPECT_FALSE(combo->isEditable());
    EXPECT_EQ(UnnamedControls(dlg), QStringList());
    EXPECT_EQ(ClippedCaptions(dlg), QStringList());

    // The help button shows the help icon and switches help mode.
    auto* help = dlg.ControlAs<QPushButton>(1025);
    EXPECT_FALSE(help->icon().isNull());
    ASSERT_TRUE(ShowActive(dlg));
    Click(dlg, 1025);
    EXPECT_TRUE(dlg.Help().IsOn());
}

TEST_F(ProjectSettings, SelectsTheFirstExtensionWhenNoneIsStoredAndNoneForAnUnknownOne) {
    project.DefCreateFileExt = "";
    CProjectSettingsDlg first(project);
    EXPECT_EQ(first.ControlAs<QComboBox>(1023)->currentText(), QStringLiteral("htm"));

    // "ht" is a prefix of two entries but equals none of them.
    project.DefCreateFileExt = "ht";
    CProjectSettingsDlg unknown(project);
    EXPECT_EQ(unknown.ControlAs<QComboBox>(1023)->currentIndex(), -1);
    ASSERT_TRUE(ShowActive(unknown));
    Click(unknown, 1);
    EXPECT_EQ(project.DefCreateFileExt.str(), "");
}

TEST_F(ProjectSettings, OkWritesTheRecordAndTheProjectPathsOfItsFiles) {
    CTplFileList& files = App()->Core().Files();
    CTplFileRecord* fromProject = files.NewFile();
    fromProject->ProjectId = 7;
    fromProject->TargetFromProject = 0;
    fromProject->TargetPath = "/own/out";
    CTplFileRecord* removed = files.NewFile();
    removed->ProjectId = 7;
    removed->Deleted = 1;
    CTplFileRecord* own = files.NewFile();
    own->ProjectId = 7;
    own->SourceFromProject = 0;
    own->TargetFromProject = 0;
    own->SourcePath = "/own/src";

    CProjectSettingsDlg dlg(project);
    ASSERT_TRUE(ShowActive(dlg));
    TypeInto(dlg, 1011, QStringLiteral("Neu"));
    TypeInto(dlg, 1012, QStringLiteral("/new/src"));
    TypeInto(dlg, 1013, QStringLiteral("/new/out"));
    dlg.ControlAs<QComboBox>(1023)->setCurrentIndex(2);
    Click(dlg, 1);

    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(project.ProjectName.str(), "Neu");
    EXPECT_EQ(project.SourcePath.str(), "/new/src");
    EXPECT_EQ(project.TargetPath.str(), "/new/out");
    EXPECT_EQ(project.DefCreateFileExt.str(), "php");
    EXPECT_EQ(fromProject->SourcePath.str(), "/new/src");
    EXPECT_EQ(fromProject->TargetPath.str(), "/own/out");
    EXPECT_EQ(removed->SourcePath.str(), "/new/src");
    EXPECT_EQ(removed->TargetPath.str(), "/new/out");
    EXPECT_EQ(own->SourcePath.str(), "/own/src");
}

TEST_F(ProjectSettings, ADirectoryChoiceGoesIntoTheRecordAtOnceAndKeepsWhatWasTyped) {
    CProjectSettingsDlg dlg(project);
    ASSERT_TRUE(ShowActive(dlg));
    TypeInto(dlg, 1011, QStringLiteral("Typed name"));
    TypeInto(dlg, 1013, QStringLiteral("/typed/out"));

    ScriptChosenFolder("/chosen/src");
    Click(dlg, 1014);
    EXPECT_EQ(project.SourcePath.str(), "/chosen/src");
    EXPECT_EQ(TextOf(dlg.Control(1012)), "/chosen/src");
    EXPECT_EQ(TextOf(dlg.Control(1011)), "Typed name");
    EXPECT_EQ(TextOf(dlg.Control(1013)), "/typed/out");
    EXPECT_EQ(dlg.ControlAs<QComboBox>(1023)->currentText(), QStringLiteral("html"));

    ScriptChosenFolder("/chosen/out");
    Click(dlg, 1015);
    EXPECT_EQ(project.TargetPath.str(), "/chosen/out");
    EXPECT_EQ(TextOf(dlg.Control(1013)), "/chosen/out");

    // Cancel keeps both choices but nothing typed.
    TypeInto(dlg, 1011, QStringLiteral("Typed again"));
    Click(dlg, 2);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(project.ProjectName.str(), "Site");
    EXPECT_EQ(project.SourcePath.str(), "/chosen/src");
    EXPECT_EQ(project.TargetPath.str(), "/chosen/out");
}

TEST_F(ProjectSettings, ACancelledDirectoryChoiceChangesNothing) {
    CProjectSettingsDlg dlg(project);
    ASSERT_TRUE(ShowActive(dlg));
    TypeInto(dlg, 1011, QStringLiteral("Typed name"));
    ScriptChosenFolder(std::nullopt);
    Click(dlg, 1014);
    EXPECT_EQ(project.SourcePath.str(), "/data/src");
    EXPECT_EQ(TextOf(dlg.Control(1011)), "Typed name");
}

TEST_F(ProjectSettings, FieldsAcceptNoMoreThanTheRecordHolds) {
    CProjectSettingsDlg dlg(project);
    ASSERT_TRUE(ShowActive(dlg));
    TypeInto(dlg, 1011, QString(60, QLatin1Char('n')));
    TypeInto(dlg, 1012, QString(300, QLatin1Char('s')));
    EXPECT_EQ(TextOf(dlg.Control(1011)).size(), 49u);
    EXPECT_EQ(TextOf(dlg.Control(1012)).size(), 255u);
}

TEST_F(ProjectSettings, EnterMovesFromFieldToFieldAndEscapeCancels) {
    CProjectSettingsDlg dlg(project);
    ASSERT_TRUE(ShowActive(dlg));
    auto* name = dlg.ControlAs<QLineEdit>(1011);
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.ControlAs<QLineEdit>(1012)->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST(ProjectSettingsWithoutExtensions, OffersNothingAndStoresAnEmptyExtension) {
    StartedApp app(nullptr);
    ASSERT_TRUE(app.Started());
    CProjectRecord project;
    project.DefCreateFileExt = "htm";
    CProjectSettingsDlg dlg(project);
    EXPECT_EQ(dlg.ControlAs<QComboBox>(1023)->count(), 0);
    ASSERT_TRUE(ShowActive(dlg));
    Click(dlg, 1);
    EXPECT_EQ(project.DefCreateFileExt.str(), "");
}

TEST(ExtensionCombo, KeepsTheFileOrderAndDuplicatesAndSelectsNothing) {
    StartedApp app("php\r\n\"shtml\"\r\nasp;Active Server Page\r\nphp\r\n");
    ASSERT_TRUE(app.Started());
    QComboBox combo;
    combo.addItem(QStringLiteral("stale"));
    FillExtensionCombo(&combo);
    EXPECT_EQ(ComboTexts(&combo), QStringList({"php", "shtml", "asp", "php"}));
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(SelectedExtension(&combo), "");
}

}  // namespace
}  // namespace pellandrix::ui
