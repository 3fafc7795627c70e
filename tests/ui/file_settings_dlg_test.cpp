// The file settings dialog, driven through its widgets on a started
// application in a temporary folder.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "dialog_test_app.h"
#include "ui/file_choosers.h"
#include "ui/file_settings_dlg.h"
#include "ui/help_system.h"

namespace pellandrix::ui {
namespace {

using D = CFileSettingsDlg;
using testing::ClippedCaptions;
using testing::ComboTexts;
using testing::ShowActive;
using testing::StartedApp;
using testing::UnnamedControls;

struct FileSettings : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(app.Started());
        project.ProjectId = 3;
        project.SourcePath = "/proj/src";
        project.TargetPath = "/proj/out";
        project.DefCreateFileExt = "html";
        entry.ProjectId = 3;
        entry.TPLFileName = "index.tpl";
        entry.SourcePath = "/own/src";
        entry.TargetPath = "/own/out";
        entry.CreateFileExt = "php";
        entry.CreateFile = 1;
        entry.AlwaysParse = 0;
        entry.SourceFromProject = 0;
        entry.TargetFromProject = 1;
    }
    void TearDown() override { ResetChoosers(); }

    void Click(const D& dlg, int id) {
        auto* button = dlg.ControlAs<QAbstractButton>(id);
        ASSERT_NE(button, nullptr) << "control " << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void Type(const D& dlg, int id, const QString& text) {
        auto* edit = dlg.ControlAs<QLineEdit>(id);
        ASSERT_NE(edit, nullptr) << "control " << id;
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    static bool ReadOnly(const D& dlg, int id) {
        return dlg.ControlAs<QLineEdit>(id)->isReadOnly();
    }
    static bool Enabled(const D& dlg, int id) { return dlg.Control(id)->isEnabled(); }
    // The pointer arriving at a control, as the window system reports it.
    static void PointTo(QWidget* control) {
        const QPointF local(control->width() / 2.0, control->height() / 2.0);
        // Where the pointer really is matters too: showing the popup makes
        // Qt send enter events to the widget under it.
        QCursor::setPos(control->mapToGlobal(local.toPoint()));
        QMouseEvent move(QEvent::MouseMove, local, control->mapToGlobal(local), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(control, &move);
    }

    StartedApp app;
    CProjectRecord project;
    CTplFileRecord entry;
};

TEST_F(FileSettings, ShowsTheEntryWithTheProjectsDirectoryWhereItTakesIt) {
    D dlg(project, entry);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Dateieinstellungen"));
    EXPECT_EQ(TextOf(dlg.Control(D::kNameField)), "index.tpl");
    EXPECT_TRUE(ReadOnly(dlg, D::kNameField));
    EXPECT_EQ(CheckOf(dlg.Control(D::kCreateFileBox)), 1);
    EXPECT_EQ(CheckOf(dlg.Control(D::kAlwaysParseBox)), 0);
    EXPECT_EQ(ComboTexts(dlg.ControlAs<QComboBox>(D::kExtensionCombo)),
              QStringList({"htm", "html", "php"}));
    EXPECT_EQ(TextOf(dlg.Control(D::kExtensionCombo)), "php");

    EXPECT_EQ(CheckOf(dlg.Control(D::kSourceFromProjectBox)), 0);
    EXPECT_EQ(TextOf(dlg.Control(D::kSourceField)), "/own/src");
    EXPECT_FALSE(ReadOnly(dlg, D::kSourceField));
    EXPECT_TRUE(Enabled(dlg, D::kChooseTemplate));

    EXPECT_EQ(CheckOf(dlg.Control(D::kTargetFromProjectBox)), 1);
    EXPECT_EQ(TextOf(dlg.Control(D::kTargetField)), "/proj/out");
    EXPECT_TRUE(ReadOnly(dlg, D::kTargetField));
    EXPECT_FALSE(Enabled(dlg, D::kChooseTarget));

    EXPECT_EQ(TextOf(dlg.Control(D::kCancelButton)), "Abbruch");
    EXPECT_EQ(UnnamedControls(dlg), QStringList());
    EXPECT_EQ(ClippedCaptions(dlg), QStringList());
}

TEST_F(FileSettings, AnEmptyExtensionStartsWithTheProjectDefaultAndOkStoresIt) {
    entry.CreateFileExt = "";
    D dlg(project, entry);
    EXPECT_EQ(TextOf(dlg.Control(D::kExtensionCombo)), "html");
    ASSERT_TRUE(ShowActive(dlg));
    Click(dlg, 1);
    EXPECT_EQ(entry.CreateFileExt.str(), "html");
}

TEST_F(FileSettings, TheDirectoryBoxesSwitchTheFieldsBetweenProjectAndOwnDirectory) {
    D dlg(project, entry);
    ASSERT_TRUE(ShowActive(dlg));
    Type(dlg, D::kSourceField, QStringLiteral("/typed/src"));
    Click(dlg, D::kSourceFromProjectBox);
    EXPECT_EQ(TextOf(dlg.Control(D::kSourceField)), "/proj/src");
    EXPECT_TRUE(ReadOnly(dlg, D::kSourceField));
    EXPECT_FALSE(Enabled(dlg, D::kChooseTemplate));

    // Cleared again, the field keeps the project's directory to start from.
    Click(dlg, D::kSourceFromProjectBox);
    EXPECT_EQ(TextOf(dlg.Control(D::kSourceField)), "/proj/src");
    EXPECT_FALSE(ReadOnly(dlg, D::kSourceField));
    EXPECT_TRUE(Enabled(dlg, D::kChooseTemplate));

    Click(dlg, D::kTargetFromProjectBox);
    EXPECT_EQ(TextOf(dlg.Control(D::kTargetField)), "/proj/out");
    EXPECT_FALSE(ReadOnly(dlg, D::kTargetField));
    EXPECT_TRUE(Enabled(dlg, D::kChooseTarget));
}

TEST_F(FileSettings, OkWritesEveryFieldBackAndTakesDirectoriesFromProjectOrField) {
    D dlg(project, entry);
    ASSERT_TRUE(ShowActive(dlg));
    Click(dlg, D::kCreateFileBox);
    Click(dlg, D::kAlwaysParseBox);
    dlg.ControlAs<QComboBox>(D::kExtensionCombo)->setCurrentIndex(0);
    Type(dlg, D::kSourceField, QStringLiteral("/typed/src"));
    Click(dlg, D::kTargetFromProjectBox);
    Type(dlg, D::kTargetField, QStringLiteral("/typed/out"));
    Click(dlg, D::kTargetFromProjectBox);  // ticked again: the project wins
    Click(dlg, 1);

    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(entry.TPLFileName.str(), "index.tpl");
    EXPECT_EQ(entry.CreateFile, 0);
    EXPECT_EQ(entry.AlwaysParse, 1);
    EXPECT_EQ(entry.CreateFileExt.str(), "htm");
    EXPECT_EQ(entry.SourceFromProject, 0);
    EXPECT_EQ(entry.SourcePath.str(), "/typed/src");
    EXPECT_EQ(entry.TargetFromProject, 1);
    EXPECT_EQ(entry.TargetPath.str(), "/proj/out");
}

TEST_F(FileSettings, ANewFileTakesTheProjectsSourceDirectoryUnlessChosenAgain) {
    entry.SourceFromProject = 1;
    entry.SourcePath = "/picked/from";
    entry.Unconfirmed = 1;
    {
        D dlg(project, entry);
        EXPECT_EQ(TextOf(dlg.Control(D::kSourceField)), "/proj/src");
        ASSERT_TRUE(ShowActive(dlg));
        Click(dlg, 1);
        EXPECT_EQ(entry.SourcePath.str(), "/proj/src");
        EXPECT_EQ(entry.Deleted, 0);
    }
    D dlg(project, entry);
    ASSERT_TRUE(ShowActive(dlg));
    Click(dlg, D::kSourceFromProjectBox);
    ScriptChosenFiles({"/picked/again/page.tpl"});
    Click(dlg, D::kChooseTemplate);
    EXPECT_EQ(TextOf(dlg.Control(D::kNameField)), "page.tpl");
    EXPECT_EQ(TextOf(dlg.Control(D::kSourceField)), "/picked/again");
    EXPECT_EQ(entry.TPLFileName.str(), "index.tpl");  // only OK changes the entry
    Click(dlg, 1);
    EXPECT_EQ(entry.TPLFileName.str(), "page.tpl");
    EXPECT_EQ(entry.SourcePath.str(), "/picked/again");
    EXPECT_EQ(entry.SourceFromProject, 0);
}

TEST_F(FileSettings, CancelledChoicesLeaveTheFieldsAndAChosenFolderFillsTheTarget) {
    entry.TargetFromProject = 0;
    D dlg(project, entry);
    ASSERT_TRUE(ShowActive(dlg));
    ScriptChosenFiles({});
    Click(dlg, D::kChooseTemplate);
    ScriptChosenFolder(std::nullopt);
    Click(dlg, D::kChooseTarget);
    EXPECT_EQ(TextOf(dlg.Control(D::kNameField)), "index.tpl");
    EXPECT_EQ(TextOf(dlg.Control(D::kSourceField)), "/own/src");
    EXPECT_EQ(TextOf(dlg.Control(D::kTargetField)), "/own/out");

    ScriptChosenFolder("/chosen/out");
    Click(dlg, D::kChooseTarget);
    EXPECT_EQ(TextOf(dlg.Control(D::kTargetField)), "/chosen/out");
    EXPECT_EQ(entry.TargetPath.str(), "/own/out");
}

TEST_F(FileSettings, CancelOnAnUnconfirmedFileRemovesItInEveryWay) {
    entry.Unconfirmed = 1;
    {
        D dlg(project, entry);
        EXPECT_EQ(TextOf(dlg.Control(D::kCancelButton)), "Datei nicht \nübernehmen");
        EXPECT_EQ(ClippedCaptions(dlg), QStringList());
        ASSERT_TRUE(ShowActive(dlg));
        Click(dlg, D::kCreateFileBox);
        Click(dlg, D::kCancelButton);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(entry.Deleted, 1);
        EXPECT_EQ(entry.CreateFile, 1);
    }
    entry.Deleted = 0;
    {
        D dlg(project, entry);
        ASSERT_TRUE(ShowActive(dlg));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(entry.Deleted, 1);
    }
    entry.Deleted = 0;
    D dlg(project, entry);
    ASSERT_TRUE(ShowActive(dlg));
    dlg.close();
    EXPECT_EQ(entry.Deleted, 1);
}

TEST_F(FileSettings, CancelOnAConfirmedFileChangesNothing) {
    D dlg(project, entry);
    ASSERT_TRUE(ShowActive(dlg));
    Click(dlg, D::kAlwaysParseBox);
    Type(dlg, D::kSourceField, QStringLiteral("/typed"));
    Click(dlg, D::kCancelButton);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(entry.Deleted, 0);
    EXPECT_EQ(entry.AlwaysParse, 0);
    EXPECT_EQ(entry.SourcePath.str(), "/own/src");
}

TEST_F(FileSettings, EnterMovesTheFocusAndTheHelpButtonTogglesHelpMode) {
    D dlg(project, entry);
    ASSERT_TRUE(ShowActive(dlg));
    auto* source = dlg.ControlAs<QLineEdit>(D::kSourceField);
    source->setFocus();
    QTest::keyClick(source, Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), dlg.Control(D::kChooseTemplate));

    Click(dlg, D::kHelpButton);
    EXPECT_TRUE(dlg.Help().IsOn());
    // Each field's popup comes from its row of the control table; arriving
    // at the other field shows that one's, coming back shows the first again.
    const size_t popupsBefore = ShownHelpPopups().size();
    for (int id : {D::kSourceField, D::kTargetField, D::kSourceField}) {
        PointTo(dlg.Control(id));
        EXPECT_EQ(dlg.Help().LastControl(), id);
    }
    ASSERT_EQ(ShownHelpPopups().size(), popupsBefore + 3);
    const CHelpFile& help = HelpFileAt(App()->HelpFilePath());
    EXPECT_EQ(ShownHelpPopups()[popupsBefore], help.TopicText(3007));
    EXPECT_EQ(ShownHelpPopups()[popupsBefore + 1], help.TopicText(3008));
    EXPECT_EQ(ShownHelpPopups()[popupsBefore + 2], help.TopicText(3007));
    // Commands still work in help mode.
    Click(dlg, D::kTargetFromProjectBox);
    EXPECT_TRUE(Enabled(dlg, D::kChooseTarget));
    Click(dlg, D::kHelpButton);
    EXPECT_FALSE(dlg.Help().IsOn());
}

}  // namespace
}  // namespace pellandrix::ui
