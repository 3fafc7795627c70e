// The "Meldungen" window on a real database: a run's messages with their
// places, opening a row's line in the editor, the project's check with the
// deletion of stale pages, and the marks of the file list's status rows.
#include "main_dlg_test.h"

#include <QCheckBox>
#include <QTreeWidget>

#include "app/open_commands.h"
#include "support/string_table.h"
#include "ui/messages_window.h"

namespace pellandrix::ui::testing {
namespace {

std::vector<std::string> Column(const CMessagesWindow& window, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < window.List()->topLevelItemCount(); ++row) {
        texts.push_back(window.List()->topLevelItem(row)->text(column).toStdString());
    }
    return texts;
}

TEST_F(MainDlgTest, ARunsMessagesShowWhereTheyAroseAndARowOpensItsLineInTheEditor) {
    const std::string src = Dir() / "src";
    const std::string bin = Dir() / "bin";
    for (const std::string& dir : {src, bin, Dir() / "out", Dir() / "data/applications"}) {
        std::filesystem::create_directories(dir);
    }
    testkit::WriteBytes(src + "/kopf.tpl", "<h1>Kopf</h1>\r\n#else\r\n");
    testkit::WriteBytes(src + "/seite.tpl", "#include \"kopf.tpl\"\r\n<p>Seite</p>\r\n");
    Seed("Alpha", {{"seite.tpl", 1}, {"kopf.tpl", 0, 0}}, src, Dir() / "out");
    FakeProgram(bin, "xdg-mime", "gedit.desktop");
    FakeProgram(bin, "gedit");
    testkit::WriteBytes(Dir() / "data/applications/gedit.desktop",
                        "[Desktop Entry]\nExec=" + bin + "/gedit %U\n");
    const testkit::ScopedEnv path("PATH", bin);
    const testkit::ScopedEnv data("XDG_DATA_HOME", Dir() / "data");
    CMainDlg& window = Open();
    CMessagesWindow& messages = *window.MessagesWindow();

    Click(CMainDlg::kCreateFiles);
    // The box during the run stays; the window opens after it.
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(messages.isVisible());
    EXPECT_EQ(Column(messages, 0), Messages());
    EXPECT_EQ(Column(messages, 1), std::vector<std::string>{src + "/kopf.tpl:2"});
    EXPECT_EQ(Column(messages, 2), std::vector<std::string>{src + "/seite.tpl:1"});
    QTreeWidgetItem& row = *messages.List()->topLevelItem(0);
    EXPECT_FALSE(row.icon(0).isNull());
    EXPECT_EQ(row.toolTip(0).toStdString(), Messages()[0]);
    EXPECT_EQ(
        messages.CopyText().toStdString(),
        src + "/kopf.tpl:2: " + Messages()[0] + "\n  eingebunden von " + src + "/seite.tpl:1\n");

    // Enter (like a double click) opens the included file at the line, in
    // the desktop's editor, which takes "+LINE".
    messages.List()->setCurrentItem(&row);
    QTest::keyClick(messages.List(), Qt::Key_Return);
    EXPECT_EQ(ArgumentsOf(bin, "gedit"),
              (std::vector<std::string>{"+2", FileUrl(src + "/kopf.tpl")}));

    // Switched off, the window stays closed after a run, yet lists it.
    messages.close();
    messages.OpenAfterRunBox()->setChecked(false);
    testkit::WriteBytes(src + "/kopf.tpl", "#else\r\n#else\r\n");
    Click(CMainDlg::kCreateFiles);
    EXPECT_FALSE(messages.isVisible());
    EXPECT_EQ(Column(messages, 1),
              (std::vector<std::string>{src + "/kopf.tpl:1", src + "/kopf.tpl:2"}));
    // The choice holds at the next start.
    EXPECT_FALSE(Open().MessagesWindow()->OpenAfterRunBox()->isChecked());
}

TEST_F(MainDlgTest, TheProjectCheckListsFindingsAndDeletesStalePagesOnlyWhenConfirmed) {
    const std::string src = Folder("src");
    const std::string out = Folder("out");
    testkit::WriteBytes(src + "/a.tpl", "<a href=\"fehlt.htm\">x</a>\r\n");
    testkit::WriteBytes(src + "/b.tpl", "b\r\n");
    Seed("Alpha", {{"a.tpl", 1}, {"b.tpl", 1}}, src, out);
    CMainDlg& window = Open();
    Click(CMainDlg::kCreateFiles);
    ASSERT_TRUE(testkit::Exists(out + "/b.htm"));
    window.FileList()->SetSelectionMark(1);
    AnswerNext({MessageAnswer::Ok});
    Click(CMainDlg::kRemoveFile);
    // Deleting works on the list as stored, which the check reads again.
    app_->Session().Save();
    presenter_.shown.clear();

    QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
    CMessagesWindow& messages = *window.MessagesWindow();
    ASSERT_TRUE(messages.isVisible());
    EXPECT_FALSE(messages.RemoveStaleButton()->isEnabled());
    QTest::mouseClick(messages.CheckButton(), Qt::LeftButton);
    const std::vector<std::string> places = Column(messages, 1);
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0], out + "/a.htm:1");
    EXPECT_EQ(places[1], out + "/b.htm:1");
    EXPECT_TRUE(messages.RemoveStaleButton()->isEnabled());

    // Declined: the page stays.
    AnswerNext({MessageAnswer::Other});
    QTest::mouseClick(messages.RemoveStaleButton(), Qt::LeftButton);
    EXPECT_EQ(Messages(),
              std::vector<std::string>{FormatMessage(MessageId::kRemoveStalePages, "1", "")});
    EXPECT_TRUE(testkit::Exists(out + "/b.htm"));
    AnswerNext({MessageAnswer::Ok});
    QTest::mouseClick(messages.RemoveStaleButton(), Qt::LeftButton);
    EXPECT_FALSE(testkit::Exists(out + "/b.htm"));
    ASSERT_EQ(Column(messages, 0).size(), 2u);
    EXPECT_NE(Column(messages, 0)[1].find("gelöscht"), std::string::npos);
    EXPECT_FALSE(messages.RemoveStaleButton()->isEnabled());
}

TEST_F(MainDlgTest, FailedRowsStandOutWithTheirMessageAndUnchangedRowsAreQuieter) {
    const std::string src = Dir() / "src";
    std::filesystem::create_directories(src);
    testkit::WriteBytes(src + "/da.tpl", "da\r\n");
    Seed("Alpha", {{"fehlt.tpl", 1}, {"da.tpl", 1}}, src, Dir().Path().string());
    CMainDlg& window = Open();
    Click(CMainDlg::kCreateFiles);
    ASSERT_EQ(Statuses(), (std::vector<std::string>{"Fehler", "fertig"}));
    const QTreeWidgetItem& failed = *window.FileList()->topLevelItem(0);
    const QTreeWidgetItem& done = *window.FileList()->topLevelItem(1);
    EXPECT_FALSE(failed.icon(0).isNull());
    EXPECT_TRUE(done.icon(0).isNull());
    EXPECT_NE(failed.foreground(1), done.foreground(1));
    EXPECT_EQ(failed.toolTip(1).toStdString(),
              FormatMessage(MessageId::kTemplateUnreadable, src + "/fehlt.tpl", ""));
    EXPECT_TRUE(done.toolTip(1).isEmpty());

    QTest::keyClick(&window, Qt::Key_F5);
    ASSERT_EQ(Statuses(), (std::vector<std::string>{"Fehler", "unverändert"}));
    const QTreeWidgetItem& unchanged = *window.FileList()->topLevelItem(1);
    EXPECT_EQ(unchanged.foreground(1).color(),
              window.FileList()->palette().color(QPalette::Disabled, QPalette::Text));
}

}  // namespace
}  // namespace pellandrix::ui::testing
