// The main window's file commands on a real database: adding files through
// the chooser and the file settings dialog, ticking and the status texts,
// removing a file, a generation run, the file list's context menu, and the
// columns on resize.
#include "main_dlg_test.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProgressBar>
#include <QSignalSpy>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "app/live_preview.h"
#include "app/open_commands.h"
#include "support/string_table.h"
#include "testkit/faults.h"
#include "ui/auto_build.h"
#include "ui/file_list_menu.h"
#include "ui/file_settings_dlg.h"

namespace pellandrix::ui::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

std::vector<std::string> Names(const Table& rows) {
    std::vector<std::string> names;
    for (const auto& row : rows) {
        names.push_back(row[0]);
    }
    return names;
}

// Records `probe()` at every paint event of `widget`.
struct PaintWatch : QObject {
    PaintWatch(QWidget* widget, std::function<std::string()> probe) : probe(std::move(probe)) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            seen.push_back(probe());
        }
        return false;
    }
    std::function<std::string()> probe;
    std::vector<std::string> seen;
};

// ---------------------------------------------------------------------------
// Adding files

TEST_F(MainDlgTest, AddedFilesAreConfirmedOneByOneAndExactDuplicatesSkipped) {
    const int alpha = Seed("Alpha", {{"a.tpl"}});
    CMainDlg& window = Open();
    const std::string here = Dir().Path().string();
    const std::string other = Dir() / "anderswo";
    ScriptChosenFiles({here + "/a.tpl", here + "/b.tpl", here + "/b.tpl", here + "/c.tpl"});
    ModalScript script({Press(1), Cancel()});
    Click(CMainDlg::kAddFiles);

    // a.tpl is already there and b.tpl comes twice: two dialogs, one for
    // b.tpl (confirmed) and one for c.tpl (declined, so it goes again).
    EXPECT_EQ(script.Handled(), 2);
    EXPECT_EQ(Names(Rows()), (std::vector<std::string>{"a.tpl", "b.tpl"}));
    EXPECT_EQ(Rows()[1], (std::vector<std::string>{"b.tpl", "deaktiviert", "X", "htm"}));
    EXPECT_EQ(window.FileList()->SelectionMark(), 1);
    EXPECT_EQ(PendingChosenFiles(), 0);
    EXPECT_TRUE(Enabled(CMainDlg::kCreateFiles));

    // The same name from another directory is another file.
    ScriptChosenFiles({other + "/a.tpl"});
    ModalScript second({Press(1)});
    Click(CMainDlg::kAddFiles);
    EXPECT_EQ(second.Handled(), 1);
    EXPECT_EQ(Names(Rows()), (std::vector<std::string>{"a.tpl", "b.tpl", "a.tpl"}));

    // Nothing reaches the database before a saving point.
    EXPECT_EQ(StoredFiles(alpha).size(), 1u);
    Click(CMainDlg::kQuit);
    EXPECT_EQ(StoredFiles(alpha).size(), 3u);
}

TEST_F(MainDlgTest, AnEmptyChoiceAddsNothing) {
    Seed("Alpha");
    Open();
    ScriptChosenFiles({});
    ModalScript script({Press(1)});
    Click(CMainDlg::kAddFiles);
    EXPECT_EQ(script.Handled(), 0);
    EXPECT_TRUE(Rows().empty());
    EXPECT_FALSE(Enabled(CMainDlg::kSelectAll));
}

// ---------------------------------------------------------------------------
// Ticking

TEST_F(MainDlgTest, TheStatusFollowsTheCheckBox) {
    Seed("Alpha", {{"a.tpl"}, {"b.tpl", 1}, {"c.tpl", 1, 0}});
    CMainDlg& window = Open();
    EXPECT_EQ(Rows(), (Table{{"a.tpl", "deaktiviert", "X", "htm"},
                             {"b.tpl", "aktiviert", "X", "htm"},
                             {"c.tpl", "aktiviert", "", ""}}));
    CFileListView* list = window.FileList();
    EXPECT_FALSE(list->RowChecked(0));
    EXPECT_TRUE(list->RowChecked(1));

    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"aktiviert", "deaktiviert", "aktiviert"}));
    EXPECT_EQ(Core().Files().FindByName("a.tpl")->Selected, 1);
    EXPECT_EQ(Core().Files().FindByName("b.tpl")->Selected, 0);

    // Space toggles the box of the row at the selection mark.
    list->setFocus();
    list->SetSelectionMark(2);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_FALSE(list->RowChecked(2));
    EXPECT_EQ(Core().Files().FindByName("c.tpl")->Selected, 0);
    EXPECT_EQ(Statuses()[2], "deaktiviert");
    EXPECT_EQ(list->SelectionMark(), 2);
}

TEST_F(MainDlgTest, SelectAllTicksEveryRowAndKeepsLaterStatuses) {
    Seed("Alpha", {{"a.tpl"}, {"b.tpl", 1}, {"c.tpl"}});
    CMainDlg& window = Open();
    Core().Files().FindByName("b.tpl")->RunStatus = 4;
    Click(CMainDlg::kSelectAll);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"aktiviert", "fertig", "aktiviert"}));
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(window.FileList()->RowChecked(row)) << row;
    }
}

// ---------------------------------------------------------------------------
// Removing

TEST_F(MainDlgTest, RemovingAFileCountsOnlyOkAsConsent) {
    const int alpha = Seed("Alpha", {{"a.tpl"}, {"b.tpl"}, {"c.tpl"}});
    CMainDlg& window = Open();

    // Without a selection mark the command does nothing at all.
    Click(CMainDlg::kRemoveFile);
    EXPECT_TRUE(Messages().empty());

    window.FileList()->SetSelectionMark(1);
    for (MessageAnswer refusal : {MessageAnswer::Other, MessageAnswer::No}) {
        AnswerNext({refusal});
        Click(CMainDlg::kRemoveFile);
        EXPECT_EQ(window.FileList()->RowCount(), 3);
    }
    AnswerNext({MessageAnswer::Ok});
    Click(CMainDlg::kRemoveFile);
    EXPECT_EQ(Messages(),
              std::vector<std::string>(3, FormatMessage(MessageId::kRemoveFile, "b.tpl", "")));
    EXPECT_EQ(Names(Rows()), (std::vector<std::string>{"a.tpl", "c.tpl"}));
    EXPECT_EQ(Core().Files().FindByName("c.tpl")->ListRow, 1);

    EXPECT_EQ(StoredFiles(alpha).size(), 3u);
    AnswerNext({MessageAnswer::Yes});
    window.close();
    EXPECT_EQ(StoredFiles(alpha), (std::vector<StoredFile>{{"a.tpl", 0}, {"c.tpl", 0}}));
}

TEST_F(MainDlgTest, FileSettingsKeepTheRowSelectedAndShowTheNewValues) {
    Seed("Alpha", {{"a.tpl"}, {"b.tpl"}});
    CMainDlg& window = Open();
    window.FileList()->SetSelectionMark(1);
    ModalScript script({[](QDialog& dialog) {
        auto* settings = dynamic_cast<CFileSettingsDlg*>(&dialog);
        ASSERT_NE(settings, nullptr);
        settings->ControlAs<QCheckBox>(CFileSettingsDlg::kCreateFileBox)->setChecked(false);
        Press(1)(dialog);
    }});
    Click(CMainDlg::kFileSettings);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(Rows()[1], (std::vector<std::string>{"b.tpl", "deaktiviert", "", ""}));
    EXPECT_EQ(window.FileList()->SelectionMark(), 1);

    // A double click on a row opens them too; Cancel changes nothing.
    ModalScript cancel({Cancel()});
    QTreeWidgetItem* first = window.FileList()->topLevelItem(0);
    emit window.FileList()->itemDoubleClicked(first, 0);
    EXPECT_TRUE(cancel.Done());
    EXPECT_EQ(Names(Rows()), (std::vector<std::string>{"a.tpl", "b.tpl"}));
}

// ---------------------------------------------------------------------------
// Generation run

TEST_F(MainDlgTest, AGenerationRunEndsWithEveryTickedFileDoneAndTheBarReset) {
    const std::string src = Folder("src");
    const std::string out = Folder("out");
    testkit::WriteBytes(src + "/kopf.tpl", "#define TITEL Start\r\n<h1>TITEL</h1>\r\n");
    testkit::WriteBytes(src + "/seite.tpl", "#include \"kopf.tpl\"\r\n<p>TITEL</p>\r\n");
    testkit::WriteBytes(src + "/rest.tpl", "nicht erzeugt\r\n");
    Seed("Alpha", {{"kopf.tpl", 1, 0}, {"seite.tpl", 1}, {"rest.tpl"}}, src, out);
    CMainDlg& window = Open();

    QSignalSpy progress(window.Progress(), &QProgressBar::valueChanged);
    std::vector<std::string> seen;
    // Watch every status as it is shown, through the list's own rows.
    QObject::connect(
        window.FileList(), &QTreeWidget::itemChanged, [&](QTreeWidgetItem* item, int column) {
            if (column == 1) {
                seen.push_back(item->text(0).toStdString() + ":" + item->text(1).toStdString());
            }
        });
    // What the list shows whenever it is painted: the window must repaint
    // while the run still holds the thread, not only after it.
    PaintWatch painted(window.FileList()->viewport(), [&] { return Statuses()[1]; });
    Click(CMainDlg::kCreateFiles);

    EXPECT_NE(std::find(painted.seen.begin(), painted.seen.end(), "in Arbeit"), painted.seen.end());
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"fertig", "fertig", "deaktiviert"}));
    EXPECT_EQ(window.Progress()->minimum(), 1);
    EXPECT_EQ(window.Progress()->maximum(), 4);
    EXPECT_EQ(window.Progress()->value(), 1);
    int highest = 0;
    for (const QList<QVariant>& change : progress) {
        highest = std::max(highest, change.at(0).toInt());
    }
    EXPECT_EQ(highest, 4);
    EXPECT_NE(std::find(seen.begin(), seen.end(), "seite.tpl:in Arbeit"), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), "seite.tpl:wartet"), seen.end());

    EXPECT_EQ(testkit::ReadBytes(out + "/seite.htm"), "<h1>Start</h1>\r\n<p>Start</p>\r\n");
    EXPECT_FALSE(testkit::Exists(out + "/kopf.htm"));
    EXPECT_FALSE(testkit::Exists(out + "/rest.htm"));
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(window.isVisible());

    // F5 runs again taking what did not change from the record; the button
    // offers the same in its context menu.
    auto* button = window.ControlAs<QPushButton>(CMainDlg::kCreateFiles);
    const QList<QAction*> menu = button->actions();
    ASSERT_EQ(menu.size(), 1);
    EXPECT_EQ(menu[0]->text(), QStringLiteral("nur &Geänderte erstellen"));
    QTest::keyClick(&window, Qt::Key_F5);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"unverändert", "unverändert", "deaktiviert"}));
    testkit::WriteBytes(src + "/kopf.tpl", "#define TITEL Neu\r\n<h1>TITEL</h1>\r\n");
    menu[0]->trigger();
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"fertig", "fertig", "deaktiviert"}));
    EXPECT_EQ(testkit::ReadBytes(out + "/seite.htm"), "<h1>Neu</h1>\r\n<p>Neu</p>\r\n");

    // Shift+F10 on the button opens that menu, as the menu key does.
    QStringList opened;
    QTimer::singleShot(0, [&opened] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* action : popup->actions()) {
                opened << action->text();
            }
            popup->close();
        }
    });
    button->setFocus();
    QTest::keyClick(button, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(opened, QStringList{menu[0]->text()});
}

// ---------------------------------------------------------------------------
// Context menu

// Opens the menu as a right click on `row` does.
void RightClick(CFileListView& list, int row) {
    const QPoint at = list.visualItemRect(list.topLevelItem(row)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.viewport(), &event);
}

// The menu's entries, without the separators between their groups.
std::vector<QAction*> Entries(CFileListMenu& menu) {
    std::vector<QAction*> entries;
    for (QAction* action : menu.Menu().actions()) {
        if (!action->isSeparator()) {
            entries.push_back(action);
        }
    }
    return entries;
}

std::vector<bool> EnabledEntries(CFileListMenu& menu) {
    std::vector<bool> enabled;
    for (const QAction* action : Entries(menu)) {
        enabled.push_back(action->isEnabled());
    }
    return enabled;
}

TEST_F(MainDlgTest, TheContextMenuOffersWhatExistsForTheRowUnderIt) {
    const std::string src = Folder("src");
    const std::string out = Folder("out");
    testkit::WriteBytes(src + "/a.tpl", "a");
    testkit::WriteBytes(out + "/a.htm", "a");
    Seed("Alpha", {{"a.tpl"}, {"b.tpl"}, {"c.tpl", 0, 0}}, src, out);
    CMainDlg& window = Open();
    CFileListMenu& menu = *window.FileMenu();
    int chosen = -1;
    menu.AddAction(
        QStringLiteral("&Weiteres"), [](int row) { return row == 1; },
        [&chosen](int row) { chosen = row; });

    // b.tpl has neither template nor page; the right click selects its row.
    // The fourth to sixth entries, "nur Geänderte erstellen",
    // "automatisch erstellen" and "Vorschau im Browser", go with the
    // button, the seventh opens the "Meldungen" window.
    RightClick(*window.FileList(), 1);
    EXPECT_TRUE(menu.Menu().isVisible());
    EXPECT_EQ(menu.Row(), 1);
    EXPECT_EQ(window.FileList()->SelectionMark(), 1);
    EXPECT_EQ(EnabledEntries(menu),
              (std::vector<bool>{false, false, true, true, true, true, true, true}));
    // Groups are set apart; the window-wide entries show their keys.
    EXPECT_TRUE(menu.Menu().actions()[3]->isSeparator());
    EXPECT_EQ(Entries(menu)[3]->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(Entries(menu)[4]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
    EXPECT_EQ(Entries(menu)[6]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    Entries(menu)[7]->trigger();
    EXPECT_EQ(chosen, 1);
    menu.Menu().hide();

    // Shift+F10 and the menu key open it for the current row.
    window.FileList()->SetSelectionMark(0);
    QTest::keyClick(window.FileList(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(menu.Menu().isVisible());
    EXPECT_EQ(EnabledEntries(menu),
              (std::vector<bool>{true, true, true, true, true, true, true, false}));
    menu.Menu().hide();
    window.FileList()->SetSelectionMark(2);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1),
                          window.FileList()->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(window.FileList(), &key);
    EXPECT_EQ(menu.Row(), 2);
    // c.tpl makes no page at all.
    EXPECT_EQ(EnabledEntries(menu),
              (std::vector<bool>{false, false, true, true, true, true, true, false}));
    menu.Menu().hide();

    // Every entry is named for a screen reader by its caption.
    QAccessibleInterface* items = QAccessible::queryAccessibleInterface(&menu.Menu());
    ASSERT_NE(items, nullptr);
    ASSERT_EQ(items->childCount(), 10);
    EXPECT_EQ(items->child(0)->text(QAccessible::Name), QStringLiteral("Seite im Browser öffnen"));
    EXPECT_EQ(items->child(4)->text(QAccessible::Name), QStringLiteral("nur Geänderte erstellen"));
    for (int i = 0; i < items->childCount(); ++i) {
        if (items->child(i)->role() != QAccessible::Separator) {
            EXPECT_FALSE(items->child(i)->text(QAccessible::Name).isEmpty()) << i;
        }
    }
}

TEST_F(MainDlgTest, TheContextMenuStartsBrowserEditorAndFileManager) {
    const std::string src = Dir() / "src";
    const std::string out = Dir() / "aus gabe";
    const std::string bin = Dir() / "bin";
    for (const std::string& dir : {src, out, bin, Dir() / "data/applications"}) {
        std::filesystem::create_directories(dir);
    }
    testkit::WriteBytes(src + "/a.tpl", "a");
    testkit::WriteBytes(out + "/a.htm", "a");
    Seed("Alpha", {{"a.tpl"}}, src, out);
    FakeProgram(bin, "netz");
    FakeProgram(bin, "xdg-mime", "editor.desktop");
    FakeProgram(bin, "editor");
    FakeProgram(bin, "xdg-open");
    testkit::WriteBytes(Dir() / "data/applications/editor.desktop",
                        "[Desktop Entry]\nExec=" + bin + "/editor --neu %f\n");
    const testkit::ScopedEnv path("PATH", bin);
    const testkit::ScopedEnv browser("BROWSER", bin + "/netz");
    const testkit::ScopedEnv data("XDG_DATA_HOME", Dir() / "data");
    CMainDlg& window = Open();
    CFileListMenu& menu = *window.FileMenu();

    RightClick(*window.FileList(), 0);
    menu.Menu().actions()[0]->trigger();
    EXPECT_EQ(ArgumentsOf(bin, "netz"), std::vector<std::string>{FileUrl(out + "/a.htm")});
    menu.Menu().actions()[1]->trigger();
    EXPECT_EQ(ArgumentsOf(bin, "editor"), (std::vector<std::string>{"--neu", src + "/a.tpl"}));
    menu.Menu().actions()[2]->trigger();
    EXPECT_EQ(ArgumentsOf(bin, "xdg-open"), std::vector<std::string>{out});
    EXPECT_TRUE(Messages().empty());

    // Nothing to start the page with: no browser named, no xdg-open.
    std::filesystem::remove(bin + "/xdg-open");
    const testkit::ScopedEnv noBrowser("BROWSER", nullptr);
    menu.Menu().actions()[0]->trigger();
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatMessage(MessageId::kCannotStartProgram,
                                                                 "xdg-open", out + "/a.htm")});
}

TEST_F(MainDlgTest, AutomaticRunsFollowAnEditedTemplateUntilSwitchedOff) {
    const std::string src = Folder("src");
    const std::string out = Folder("out");
    testkit::WriteBytes(src + "/seite.tpl", "eins\r\n");
    Seed("Alpha", {{"seite.tpl", 1}}, src, out);
    CMainDlg& window = Open();

    QTest::keyClick(&window, Qt::Key_F5, Qt::ControlModifier);
    ASSERT_TRUE(window.AutoBuild()->IsOn());
    EXPECT_TRUE(QTest::qWaitFor([&] { return testkit::Exists(out + "/seite.htm"); }, 5000));
    testkit::WriteBytes(src + "/seite.tpl", "zwei\r\n");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return testkit::ReadBytes(out + "/seite.htm") == "zwei\r\n"; }, 5000));
    EXPECT_EQ(Statuses(), std::vector<std::string>{"fertig"});
    // Between runs the progress field tells that it is on.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window.Progress()->text() == QStringLiteral("automatisch – wartet"); }, 5000));
    // A parse error shows its message as a run's would.
    testkit::WriteBytes(src + "/seite.tpl", "#endif\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Messages().empty(); }, 5000));

    QTest::keyClick(&window, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_FALSE(window.AutoBuild()->IsOn());
    EXPECT_FALSE(window.Progress()->isTextVisible());
    testkit::WriteBytes(src + "/seite.tpl", "drei\r\n");
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.AutoBuild()->Waiting());
    EXPECT_NE(testkit::ReadBytes(out + "/seite.htm"), "drei\r\n");
}

TEST_F(MainDlgTest, AutomaticRunsAreRememberedPerProjectAcrossStarts) {
    const std::string src = Folder("src");
    const std::string out = Folder("out");
    testkit::WriteBytes(src + "/seite.tpl", "eins\r\n");
    Seed("Alpha", {{"seite.tpl", 1}}, src, out);
    Seed("Beta", {{"seite.tpl", 1}}, src, Dir() / "out2");
    QTest::keyClick(&Open(), Qt::Key_F5, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return testkit::Exists(out + "/seite.htm"); }, 5000));
    std::filesystem::remove(out + "/seite.htm");

    // The next start runs and watches Alpha at once; Beta keeps its own choice.
    CMainDlg& window = Open();
    EXPECT_TRUE(window.AutoBuild()->IsOn());
    EXPECT_TRUE(window.findChild<QAction*>(QStringLiteral("autoBuild"))->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return testkit::Exists(out + "/seite.htm"); }, 5000));
    ChooseProject(1);
    EXPECT_FALSE(window.AutoBuild()->IsOn());
    ChooseProject(0);
    EXPECT_TRUE(window.AutoBuild()->IsOn());

    QTest::keyClick(&window, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_FALSE(Open().AutoBuild()->IsOn());
}

TEST_F(MainDlgTest, AutomaticRunsWaitUntilASaveIsWholeAndNoticeAMissingFolderOnce) {
    const std::string src = Folder("src");
    const std::string out = Folder("out");
    testkit::WriteBytes(src + "/seite.tpl", "#include \"inc/teil.txt\"\r\neins\r\n");
    Seed("Alpha", {{"seite.tpl", 1}}, src, out);
    CMainDlg& window = Open();
    const std::vector<std::string> notice{FormatMessage(MessageId::kWatchFolderMissing, "inc", "")};

    QTest::keyClick(&window, Qt::Key_F5, Qt::ControlModifier);
    ASSERT_TRUE(window.AutoBuild()->IsOn());
    EXPECT_TRUE(QTest::qWaitFor([&] { return testkit::Exists(out + "/seite.htm"); }, 5000));

    // A save in two writes: the first alone is a block without its end.
    // Once the first is seen, nothing runs before the second is written.
    testkit::WriteBytes(src + "/seite.tpl", "#ifdef X\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.AutoBuild()->Waiting(); }, 5000));
    EXPECT_EQ(testkit::ReadBytes(out + "/seite.htm"), "eins\r\n");
    testkit::WriteBytes(src + "/seite.tpl", "#ifdef X\r\n#endif\r\nzwei\r\n");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return testkit::ReadBytes(out + "/seite.htm") == "zwei\r\n"; }, 5000));
    // Two runs: the missing folder was noticed once.
    EXPECT_EQ(Messages(), notice);
}

TEST_F(MainDlgTest, AutomaticRunsStayOffWhenFoldersCannotBeWatched) {
    const std::string src = Dir() / "src";
    std::filesystem::create_directories(src);
    testkit::WriteBytes(src + "/seite.tpl", "eins\r\n");
    Seed("Alpha", {{"seite.tpl", 1}}, src, src);
    CMainDlg& window = Open();
    auto* toggle = window.findChild<QAction*>(QStringLiteral("autoBuild"));
    ASSERT_NE(toggle, nullptr);
    {
        // No descriptor left for inotify.
        const testkit::DescriptorLimit none(0);
        QTest::keyClick(&window, Qt::Key_F5, Qt::ControlModifier);
    }
    EXPECT_FALSE(window.AutoBuild()->IsOn());
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatMessage(MessageId::kWatchUnavailable,
                                                                 std::strerror(EMFILE), "")});
    EXPECT_FALSE(testkit::Exists(src + "/seite.htm"));
}

// What a GET of `url` brought, as a browser sends it.
struct HttpAnswer {
    QNetworkReply::NetworkError error;
    QByteArray body;
};
HttpAnswer Get(const QString& url) {
    QNetworkAccessManager net;
    net.setProxy(QNetworkProxy::NoProxy);
    const std::unique_ptr<QNetworkReply> reply(net.get(QNetworkRequest(QUrl(url))));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    EXPECT_TRUE(reply->isFinished() || finished.wait(10000)) << url.toStdString();
    return {reply->error(), reply->readAll()};
}

TEST_F(MainDlgTest, ThePreviewServesTheRowsPageWhileTickedAndNoLonger) {
    const std::string src = Dir() / "src";
    const std::string out = Dir() / "out";
    const std::string bin = Dir() / "bin";
    for (const std::string& dir : {src, out, bin}) {
        std::filesystem::create_directories(dir);
    }
    testkit::WriteBytes(src + "/erste seite.tpl", "<body>eins</body>\r\n");
    Seed("Alpha", {{"erste seite.tpl", 1}}, src, out);
    FakeProgram(bin, "netz");
    // The browser is started in a session of its own, as the command line
    // starts it.
    std::filesystem::create_symlink("/usr/bin/setsid", bin + "/setsid");
    const testkit::ScopedEnv path("PATH", bin);
    const testkit::ScopedEnv browser("BROWSER", bin + "/netz");
    CMainDlg* window = &Open();
    const auto tick = [&] {
        RightClick(*window->FileList(), 0);
        window->findChild<QAction*>(QStringLiteral("preview"))->trigger();
        return window->findChild<QAction*>(QStringLiteral("preview"))->isChecked();
    };

    // A server that cannot start is said, and nothing stays on.
    {
        const testkit::DescriptorLimit none(0);
        EXPECT_FALSE(tick());
    }
    EXPECT_FALSE(window->AutoBuild()->IsOn());
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatMessage(MessageId::kPreviewNoPort, "8080",
                                                                 std::strerror(EMFILE))});

    // Ticked: runs, then the browser gets the row's page as served, and the
    // progress field tells where.
    ASSERT_TRUE(tick());
    EXPECT_TRUE(window->AutoBuild()->IsOn());
    const std::vector<std::string> opened = ArgumentsOf(bin, "netz");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->Progress()->text().contains(QStringLiteral("Vorschau unter")); },
        5000));
    const QString address = window->Progress()->text().section(QStringLiteral("unter "), 1);
    EXPECT_EQ(window->Progress()->text(),
              QStringLiteral("automatisch – wartet, Vorschau unter ") + address);
    EXPECT_EQ(window->Progress()->accessibleDescription(), address);
    EXPECT_EQ(opened, std::vector<std::string>{address.toStdString() + "erste%20seite.htm"});
    const HttpAnswer page = Get(address + QStringLiteral("erste%20seite.htm"));
    EXPECT_EQ(page.error, QNetworkReply::NoError);
    EXPECT_TRUE(page.body.startsWith("<body>eins"));
    EXPECT_TRUE(page.body.contains("/.pellandrix/live.js"));

    // Closing the window ends the serving; what only the preview switched
    // on is not kept for the project.
    window->close();
    EXPECT_EQ(Get(address).error, QNetworkReply::ConnectionRefusedError);
    window = &Open();
    EXPECT_FALSE(window->AutoBuild()->IsOn());

    // Unticked, it stops; automatic runs the user chose go on.
    QTest::keyClick(window, Qt::Key_F5, Qt::ControlModifier);
    ASSERT_TRUE(tick());
    const QString again = QString::fromStdString(window->Preview().Address());
    EXPECT_EQ(Get(again).error, QNetworkReply::NoError);
    EXPECT_FALSE(tick());
    EXPECT_EQ(Get(again).error, QNetworkReply::ConnectionRefusedError);
    EXPECT_TRUE(window->AutoBuild()->IsOn());
    EXPECT_EQ(window->Progress()->text(), QStringLiteral("automatisch – wartet"));
}

// ---------------------------------------------------------------------------
// Resizing

TEST_F(MainDlgTest, ColumnsScaleWithTheWindowWidthAndComeBack) {
    Seed("Alpha", {{"a.tpl"}});
    CMainDlg& window = Open();
    const QSize initial = window.size();
    std::vector<int> widths;
    for (int column = 0; column < 4; ++column) {
        widths.push_back(window.FileList()->ColumnWidth(column));
    }
    const int listWidth = window.FileList()->width();

    // As narrow as the captions allow.
    window.resize(window.minimumWidth(), initial.height());
    QApplication::processEvents();
    ASSERT_LT(window.width(), initial.width());
    const double factor = static_cast<double>(window.width()) / initial.width();
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(window.FileList()->ColumnWidth(column), static_cast<int>(widths[column] * factor))
            << column;
    }
    EXPECT_NEAR(window.FileList()->width(), listWidth * factor, 2.0);

    window.resize(initial);
    QApplication::processEvents();
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(window.FileList()->ColumnWidth(column), widths[column]) << column;
    }
}

}  // namespace
}  // namespace pellandrix::ui::testing
