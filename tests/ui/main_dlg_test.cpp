// The main window on a real database: its start state, the project
// commands with their questions, and the points at which it saves.
#include "main_dlg_test.h"

#include <QHeaderView>
#include <QProcess>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QWindow>

#include "support/string_table.h"
#include "ui/about_dlg.h"
#include "ui/help_system.h"
#include "ui/main_window_button.h"
#include "ui/new_project_dlg.h"
#include "ui/project_settings_dlg.h"

namespace pellandrix::ui::testing {
namespace {

constexpr int kProjectCommands[] = {CMainDlg::kDeleteProject, CMainDlg::kProjectSettings,
                                    CMainDlg::kAddFiles, CMainDlg::kRemoveFile};

std::string Text(MessageId id, const char* first = nullptr) {
    return first == nullptr ? std::string(MessageText(id)) : FormatMessage(id, first, "");
}

// ---------------------------------------------------------------------------
// Start state

TEST_F(MainDlgTest, AnEmptyDatabaseDisablesEveryCommandThatNeedsAProjectOrAFile) {
    CMainDlg& window = Open();
    EXPECT_EQ(app_->MainWindow(), &window);
    EXPECT_EQ(window.ProjectBox()->count(), 0);
    EXPECT_EQ(window.FileList()->RowCount(), 0);
    EXPECT_EQ(window.CurrentProject(), nullptr);
    for (int id : kProjectCommands) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    EXPECT_FALSE(Enabled(CMainDlg::kCreateFiles));
    EXPECT_FALSE(Enabled(CMainDlg::kSelectAll));
    for (int id : {CMainDlg::kFileSettings, CMainDlg::kNewProject, CMainDlg::kQuit}) {
        EXPECT_TRUE(Enabled(id)) << id;
    }

    // Without a project Escape, like the close box, asks nothing.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(MainDlgTest, ShowsTheCaptionsColumnsAndNamesOfTheLayout) {
    CMainDlg& window = Open();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Pellandrix"));
    const std::pair<int, const char*> captions[] = {
        {1, "Programm \nbeenden"},
        {1002, "alles \nauswählen"},
        {1003, "Dateien \nerstellen"},
        {1004, "Datei(n) in Projekt hinzufügen"},
        {1005, "Datei aus\nProjekt entfernen"},
        {1007, "neues \nProjekt"},
        {1008, "Projekt \nlöschen"},
        {1010, "Projekt\neinstellungen"},
        {1011, "Datei \neinstellungen"},
    };
    for (const auto& [id, caption] : captions) {
        EXPECT_EQ(TextOf(window.Control(id)), caption) << id;
    }
    EXPECT_EQ(window.ControlAs<QPushButton>(CMainDlg::kCreateFiles)->accessibleName(),
              QStringLiteral("Dateien erstellen"));
    EXPECT_TRUE(window.ControlAs<QPushButton>(CMainDlg::kQuit)->isDefault());
    EXPECT_EQ(window.Control(CMainDlg::kAbout)->toolTip(),
              QStringLiteral("Informationen zur Version"));

    const QTreeWidgetItem* header = window.FileList()->headerItem();
    EXPECT_EQ(header->text(0), QStringLiteral("Dateiname"));
    EXPECT_EQ(header->text(1), QStringLiteral("Status"));
    EXPECT_EQ(header->text(2), QStringLiteral("Erst."));
    EXPECT_EQ(header->text(3), QStringLiteral("Endung"));
    EXPECT_FALSE(window.FileList()->header()->sectionsClickable());
    // The start widths keep the proportions 180 : 85 : 50 : 70.
    const CFileListView* list = window.FileList();
    EXPECT_NEAR(list->ColumnWidth(0) * 85.0 / list->ColumnWidth(1), 180.0, 4.0);
    EXPECT_NEAR(list->ColumnWidth(2) * 70.0 / list->ColumnWidth(3), 50.0, 2.0);

    for (const QWidget* w : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->focusPolicy() != Qt::NoFocus || qobject_cast<const QProgressBar*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    EXPECT_EQ(QApplication::focusWidget(), window.ProjectBox());
}

// Captions (button captions, column headings) that do not fit their control
// now: the buttons' accessible names and the headings' texts.
QStringList UnreadableCaptions(const CMainDlg& window) {
    QStringList clipped;
    for (const CWrapButton* button : window.findChildren<CWrapButton*>()) {
        const QSize needed = button->CaptionSize();
        if (needed.width() > button->width() || needed.height() > button->height()) {
            clipped << button->accessibleName();
        }
    }
    const QHeaderView* header = window.FileList()->header();
    for (int column = 0; column < CFileListView::kColumnCount; ++column) {
        if (header->sectionSizeHint(column) > header->sectionSize(column)) {
            clipped << window.FileList()->headerItem()->text(column);
        }
    }
    return clipped;
}

TEST_F(MainDlgTest, ShrinksOnlyAsFarAsEveryCaptionStaysReadable) {
    CMainDlg& window = Open();
    const QSize designed = window.size();
    EXPECT_TRUE(UnreadableCaptions(window).isEmpty())
        << UnreadableCaptions(window).join(", ").toStdString();

    window.resize(1, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.size() == window.minimumSize(); }));
    EXPECT_TRUE(UnreadableCaptions(window).isEmpty())
        << UnreadableCaptions(window).join(", ").toStdString();
    // It can still be made smaller than designed, and any smaller would clip.
    EXPECT_LT(window.width(), designed.width());
    EXPECT_LT(window.height(), designed.height());
    const QSize minimum = window.minimumSize();
    window.setMinimumSize(0, 0);
    window.resize(minimum * 0.9);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.size() == minimum * 0.9; }));
    EXPECT_FALSE(UnreadableCaptions(window).isEmpty());
}

// The help window driven through the window system, as a user drives it:
// input for a window that a modal dialog blocks never arrives. It must come
// to the front, scroll, follow a link and close with Escape.
void ExpectHelpWindowUsable() {
    QTextBrowser* help = HelpWindowBrowser();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    QWindow* window = help->windowHandle();
    QScrollBar* bar = help->verticalScrollBar();
    bar->setValue(0);
    QTest::keyClick(window, Qt::Key_PageDown);
    EXPECT_GT(bar->value(), 0);

    QTextCursor link = help->document()->find(QStringLiteral("Dateieinstellungen"));
    ASSERT_FALSE(link.isNull());
    ASSERT_EQ(link.charFormat().anchorHref(), QStringLiteral("#topic-30000"));
    link.clearSelection();
    help->setTextCursor(link);
    help->ensureCursorVisible();
    const QPoint at = help->viewport()->mapTo(help, help->cursorRect(link).center());
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(help->source().fragment(), QStringLiteral("topic-30000"));

    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(HelpWindowVisible());
}

TEST_F(MainDlgTest, TheHelpWindowStaysUsableOverTheRunningWindowAndItsDialogs) {
    CMainDlg window;
    int checks = 0;
    QTimer::singleShot(0, [&] {
        // F1 in the main window, run modally as the program runs it.
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(window.windowHandle(), Qt::Key_F1);
        ExpectHelpWindowUsable();
        ++checks;
        // The about box over it, and its help button.
        QTimer::singleShot(0, [&] {
            auto* about = dynamic_cast<CBaseDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(about, nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowActive(about));
            about->ControlAs<QAbstractButton>(kAboutHelp)->click();
            ExpectHelpWindowUsable();
            ++checks;
            about->reject();
        });
        window.ControlAs<QAbstractButton>(CMainDlg::kAbout)->click();
        static_cast<QDialog&>(window).done(QDialog::Rejected);
    });
    window.exec();
    EXPECT_EQ(checks, 2);
}

// ---------------------------------------------------------------------------
// Projects

TEST_F(MainDlgTest, ANewProjectIsNamedConfiguredAndStoredAtOnce) {
    CMainDlg& window = Open();
    const std::string source = Dir() / "vorlagen";
    ModalScript script({
        FillAndAccept({{CNewProjectDlg::kNameField, "Web"}}),
        FillAndAccept({{CProjectSettingsDlg::kSourceField, source}}),
    });
    Click(CMainDlg::kNewProject);
    EXPECT_TRUE(script.Done());

    ASSERT_NE(window.CurrentProject(), nullptr);
    EXPECT_EQ(window.CurrentProject()->ProjectName.str(), "Web");
    EXPECT_EQ(TextOf(window.Control(CMainDlg::kProjectBox)), "Web");
    for (int id : kProjectCommands) {
        EXPECT_TRUE(Enabled(id)) << id;
    }
    EXPECT_FALSE(Enabled(CMainDlg::kCreateFiles));

    CDaoDatabase other;
    other.Open(Db().Path());
    CProjectList stored;
    stored.LoadAll(other);
    ASSERT_EQ(stored.Records().Count(), 1);
    EXPECT_EQ(stored.Records().First()->ProjectName.str(), "Web");
    EXPECT_EQ(stored.Records().First()->SourcePath.str(), source);
}

TEST_F(MainDlgTest, ACancelledNewProjectLeavesOnlyASkippedId) {
    Seed("Alt");
    CMainDlg& window = Open();
    {
        ModalScript script({Cancel()});
        Click(CMainDlg::kNewProject);
        EXPECT_TRUE(script.Done());
    }
    EXPECT_EQ(Core().Projects().Records().Count(), 1);
    EXPECT_EQ(window.ProjectBox()->count(), 1);
    EXPECT_EQ(StoredProjects(), std::vector<std::string>{"Alt"});

    ModalScript script({FillAndAccept({{CNewProjectDlg::kNameField, "Neu"}}), Press(1)});
    Click(CMainDlg::kNewProject);
    EXPECT_TRUE(script.Done());
    ASSERT_NE(window.CurrentProject(), nullptr);
    EXPECT_EQ(window.CurrentProject()->ProjectId, 3);
}

TEST_F(MainDlgTest, DeletingAProjectCountsOnlyOkAsConsent) {
    const int alpha = Seed("Alpha", {{"a.tpl"}});
    Seed("Beta", {{"b.tpl"}});
    CMainDlg& window = Open();

    for (MessageAnswer refusal : {MessageAnswer::Other, MessageAnswer::No}) {
        AnswerNext({refusal});
        Click(CMainDlg::kDeleteProject);
        EXPECT_EQ(window.ProjectBox()->count(), 2);
        EXPECT_EQ(window.CurrentProject()->ProjectId, alpha);
    }
    EXPECT_EQ(Messages(), std::vector<std::string>(2, Text(MessageId::kDeleteProject, "Alpha")));

    // The files of the deleted project are saved as it is left; its row
    // stays until the project list is saved.
    Core().Files().FindByName("a.tpl")->Selected = 1;
    AnswerNext({MessageAnswer::Ok});
    Click(CMainDlg::kDeleteProject);
    EXPECT_EQ(window.ProjectBox()->count(), 1);
    EXPECT_EQ(TextOf(window.Control(CMainDlg::kProjectBox)), "Beta");
    EXPECT_EQ(window.CurrentProject()->ProjectName.str(), "Beta");
    EXPECT_EQ(Rows().at(0).at(0), "b.tpl");
    EXPECT_EQ(StoredFiles(alpha), (std::vector<StoredFile>{{"a.tpl", 1}}));
    EXPECT_EQ(StoredProjects(), (std::vector<std::string>{"Alpha", "Beta"}));

    Click(CMainDlg::kQuit);
    EXPECT_EQ(StoredProjects(), std::vector<std::string>{"Beta"});
}

TEST_F(MainDlgTest, DeletingTheLastProjectEmptiesTheFileList) {
    Seed("Einzig", {{"a.tpl", 1}, {"b.tpl"}});
    CMainDlg& window = Open();
    ASSERT_EQ(window.FileList()->RowCount(), 2);

    AnswerNext({MessageAnswer::Ok});
    Click(CMainDlg::kDeleteProject);
    EXPECT_EQ(window.CurrentProject(), nullptr);
    EXPECT_EQ(window.ProjectBox()->count(), 0);
    EXPECT_EQ(window.FileList()->RowCount(), 0);
    EXPECT_EQ(Core().Files().CountLive(), 0);
    for (int id : kProjectCommands) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    EXPECT_FALSE(Enabled(CMainDlg::kCreateFiles));
    EXPECT_FALSE(Enabled(CMainDlg::kSelectAll));
}

TEST_F(MainDlgTest, SwitchingProjectsSavesTheFilesOfTheProjectLeft) {
    const int alpha = Seed("Alpha", {{"a.tpl"}, {"b.tpl"}});
    const int beta = Seed("Beta", {{"c.tpl", 1}});
    CMainDlg& window = Open();
    EXPECT_EQ(window.CurrentProject()->ProjectId, alpha);

    window.FileList()->topLevelItem(1)->setCheckState(0, Qt::Checked);
    // Choosing the project already shown changes and writes nothing.
    ChooseProject(0);
    EXPECT_EQ(StoredFiles(alpha), (std::vector<StoredFile>{{"a.tpl", 0}, {"b.tpl", 0}}));

    ChooseProject(1);
    EXPECT_EQ(window.CurrentProject()->ProjectId, beta);
    EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{{"c.tpl", "aktiviert", "X", "htm"}}));
    EXPECT_EQ(StoredFiles(alpha), (std::vector<StoredFile>{{"a.tpl", 0}, {"b.tpl", 1}}));

    // Keyboard choice in the box switches too.
    window.ProjectBox()->setFocus();
    QTest::keyClick(window.ProjectBox(), Qt::Key_Up);
    EXPECT_EQ(window.CurrentProject()->ProjectId, alpha);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"deaktiviert", "aktiviert"}));
}

TEST_F(MainDlgTest, ProjectSettingsRefillTheBoxWithTheChangedName) {
    Seed("Alpha");
    Seed("Beta");
    CMainDlg& window = Open();
    ChooseProject(1);
    ModalScript script({FillAndAccept({{CProjectSettingsDlg::kNameField, "Gamma"}})});
    Click(CMainDlg::kProjectSettings);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(window.ProjectBox()->itemText(1), QStringLiteral("Gamma"));
    EXPECT_EQ(TextOf(window.Control(CMainDlg::kProjectBox)), "Gamma");
    EXPECT_EQ(window.CurrentProject()->ProjectName.str(), "Gamma");
}

// ---------------------------------------------------------------------------
// Closing and saving

TEST_F(MainDlgTest, QuitSavesWithoutAskingEscapeAsksAsTheCloseBoxDoes) {
    const int alpha = Seed("Alpha", {{"a.tpl"}});
    for (MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        CMainDlg& window = Open();
        window.FileList()->topLevelItem(0)->setCheckState(0, Qt::Checked);
        AnswerNext({answer});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.result(), QDialog::Rejected);
        EXPECT_EQ(StoredFiles(alpha),
                  (std::vector<StoredFile>{{"a.tpl", answer == MessageAnswer::Yes ? 1 : 0}}));
    }
    EXPECT_EQ(Messages(), std::vector<std::string>(2, Text(MessageId::kSaveChanges)));

    CMainDlg& window = Open();
    window.FileList()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    Click(CMainDlg::kQuit);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(Messages().size(), 2u);
    EXPECT_EQ(StoredFiles(alpha), (std::vector<StoredFile>{{"a.tpl", 0}}));
}

TEST_F(MainDlgTest, TheCloseBoxAsksAndSavesOnlyOnYes) {
    const int alpha = Seed("Alpha", {{"a.tpl"}});
    {
        CMainDlg& window = Open();
        window.FileList()->topLevelItem(0)->setCheckState(0, Qt::Checked);
        AnswerNext({MessageAnswer::No});
        window.close();
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(StoredFiles(alpha), (std::vector<StoredFile>{{"a.tpl", 0}}));
    }
    CMainDlg& window = Open();
    window.FileList()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    AnswerNext({MessageAnswer::Yes});
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(Messages(), std::vector<std::string>(2, Text(MessageId::kSaveChanges)));
    EXPECT_EQ(StoredFiles(alpha), (std::vector<StoredFile>{{"a.tpl", 1}}));
}

TEST_F(MainDlgTest, AnEngineErrorIsShownAndTheWindowStaysOpen) {
    Seed("Alpha", {{"a.tpl"}});
    CMainDlg& window = Open();
    Db().Close();

    Click(CMainDlg::kQuit);
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(Messages().size(), 1u);
    const std::string prefix(MessageText(MessageId::kDatabaseError).substr(0, 20));
    EXPECT_EQ(Messages()[0].substr(0, prefix.size()), prefix);

    // Closing with Yes fails the same way and keeps the window open too.
    AnswerNext({MessageAnswer::Yes});
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(Messages().size(), 3u);
}

// The command-line program works on the same database file: what it
// changes is what the window shows when it opens the project next.
TEST_F(MainDlgTest, ShowsWhatTheCommandLineProgramChanged) {
    Seed("Alpha", {{"a.tpl", 0, 0}, {"b.tpl"}});
    for (const char* name : {"a.tpl", "b.tpl"}) {
        testkit::WriteBytes(Dir() / name, "x\n");
    }
    const auto cli = [this](const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(QString::fromStdString(Dir().Path().string()));
        process.start(QStringLiteral(PELLANDRIX_CLI_PATH), args);
        process.waitForFinished(-1);
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    EXPECT_EQ(cli({"set-file", "Alpha", "a.tpl", "--select", "--create", "--ext", "php"}), 0);
    EXPECT_EQ(cli({"remove-file", "Alpha", "b.tpl"}), 0);
    EXPECT_EQ(cli({"set-project", "Alpha", "--name", "Beta"}), 0);

    CMainDlg& window = Open();
    EXPECT_EQ(window.ProjectBox()->currentText(), QStringLiteral("Beta"));
    EXPECT_EQ(Rows(), (std::vector<std::vector<std::string>>{{"a.tpl", "aktiviert", "X", "php"}}));
}

}  // namespace
}  // namespace pellandrix::ui::testing
