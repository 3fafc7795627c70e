// ChooseTemplateFiles and BrowseForFolder with scripted choices.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "testkit/files.h"
#include "testkit/temp_dir.h"
#include "ui/file_choosers.h"

namespace pellandrix::ui {
namespace {

class ChooserTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetChoosers(); }
    void TearDown() override { ResetChoosers(); }
    std::string name = "alt";
    std::string directory = "alt";
};

TEST_F(ChooserTest, ThreeFilesAreDeliveredInThreeCallsThenTheLoopEnds) {
    ScriptChosenFiles({"/home/u/site/a.tpl", "/home/u/site/b.tpl", "/home/u/site/sub/c.tpl"});
    ASSERT_TRUE(ChooseTemplateFiles(nullptr, "/home/u/site", "tpl", name, directory, true));
    EXPECT_EQ(name, "a.tpl");
    EXPECT_EQ(directory, "/home/u/site");
    EXPECT_EQ(PendingChosenFiles(), 2);
    ASSERT_TRUE(ChooseTemplateFiles(nullptr, "/home/u/site", "tpl", name, directory, true));
    EXPECT_EQ(name, "b.tpl");
    ASSERT_TRUE(ChooseTemplateFiles(nullptr, "/home/u/site", "tpl", name, directory, true));
    EXPECT_EQ(name, "c.tpl");
    EXPECT_EQ(directory, "/home/u/site/sub");
    EXPECT_EQ(PendingChosenFiles(), 0);
    // The fourth call delivers nothing and empties the state.
    EXPECT_FALSE(ChooseTemplateFiles(nullptr, "/home/u/site", "tpl", name, directory, true));
    EXPECT_EQ(name, "");
    EXPECT_EQ(directory, "");

    // The next command starts afresh with the dialog.
    ScriptChosenFiles({"/x/d.tpl"});
    ASSERT_TRUE(ChooseTemplateFiles(nullptr, "", "tpl", name, directory, true));
    EXPECT_EQ(name, "d.tpl");
    EXPECT_EQ(directory, "/x");
}

TEST_F(ChooserTest, OneFileWithSeveralAllowedEndsAtTheSecondCall) {
    ScriptChosenFiles({"/p/index.tpl"});
    ASSERT_TRUE(ChooseTemplateFiles(nullptr, "/p", "tpl", name, directory, true));
    EXPECT_EQ(name, "index.tpl");
    EXPECT_EQ(directory, "/p");
    EXPECT_FALSE(ChooseTemplateFiles(nullptr, "/p", "tpl", name, directory, true));
    EXPECT_EQ(name, "");
    // The second call showed no dialog: a scripted choice is still waiting.
    ScriptChosenFiles({"/q/r.tpl"});
    EXPECT_TRUE(ChooseTemplateFiles(nullptr, "/p", "tpl", name, directory, true));
    EXPECT_EQ(name, "r.tpl");
}

TEST_F(ChooserTest, OneFileOnly) {
    ScriptChosenFiles({"/p/kopf.tpl"});
    ASSERT_TRUE(ChooseTemplateFiles(nullptr, "/p", "tpl", name, directory, false));
    EXPECT_EQ(name, "kopf.tpl");
    EXPECT_EQ(directory, "/p");
    EXPECT_EQ(PendingChosenFiles(), 0);
    // Several marked although only one is allowed: nothing delivered.
    ScriptChosenFiles({"/p/a.tpl", "/p/b.tpl"});
    name = "alt";
    EXPECT_FALSE(ChooseTemplateFiles(nullptr, "/p", "tpl", name, directory, false));
    EXPECT_EQ(name, "alt");
}

TEST_F(ChooserTest, FileAtTheRootKeepsTheSeparator) {
    ScriptChosenFiles({"/root.tpl"});
    ASSERT_TRUE(ChooseTemplateFiles(nullptr, "", "tpl", name, directory, false));
    EXPECT_EQ(name, "root.tpl");
    EXPECT_EQ(directory, "/");
}

TEST_F(ChooserTest, CancelledChoiceChangesNothing) {
    ScriptChosenFiles({});
    EXPECT_FALSE(ChooseTemplateFiles(nullptr, "/p", "tpl", name, directory, true));
    EXPECT_EQ(name, "alt");
    EXPECT_EQ(directory, "alt");
}

TEST_F(ChooserTest, RealDialogStartsInTheStartDirectoryAndRestoresTheCurrentOne) {
    testkit::TempDir dir;
    testkit::WriteBytes(dir / "seite.tpl", "x\n");
    const QString before = QDir::currentPath();
    bool sawDialog = false;
    // Waits for the dialog (polling), checks it and chooses the file.
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        poll.stop();
        sawDialog = true;
        EXPECT_EQ(QDir(dialog->directory()).canonicalPath(),
                  QDir(QString::fromStdString(dir.Path().string())).canonicalPath());
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
        // The file-name box starts with the pattern.
        const auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        EXPECT_EQ(nameBox != nullptr ? nameBox->text().toStdString() : "(none)", "*.tpl");
        // selectFile writes the name into the file-name box only while that
        // box does not have the keyboard focus (so as not to overwrite what
        // a user types), and the box takes the focus when the dialog becomes
        // active: before or after this poll, as the machine's load has it.
        // With the box empty, accept() would keep the dialog open.
        if (QWidget* focused = dialog->focusWidget()) {
            focused->clearFocus();
        }
        dialog->selectFile(QStringLiteral("seite.tpl"));
        static_cast<QDialog*>(dialog)->accept();
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog did not take the chosen file";
            static_cast<QDialog*>(dialog)->reject();
        }
    });
    poll.start();
    ASSERT_TRUE(ChooseTemplateFiles(nullptr, dir.Path().string(), "tpl", name, directory, true));
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(name, "seite.tpl");
    EXPECT_EQ(std::filesystem::canonical(directory), std::filesystem::canonical(dir.Path()));
    EXPECT_EQ(QDir::currentPath(), before);
    EXPECT_FALSE(ChooseTemplateFiles(nullptr, "", "tpl", name, directory, true));
}

TEST_F(ChooserTest, RealFolderDialogDeliversTheChosenFolder) {
    testkit::TempDir dir;
    std::filesystem::create_directory(dir / "ziel");
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        poll.stop();
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
        dialog->setDirectory(QString::fromStdString(dir / "ziel"));
        static_cast<QDialog*>(dialog)->accept();
    });
    poll.start();
    std::string folder;
    ASSERT_TRUE(BrowseForFolder(nullptr, folder));
    EXPECT_EQ(std::filesystem::canonical(folder), std::filesystem::canonical(dir / "ziel"));
}

TEST_F(ChooserTest, BrowseForFolder) {
    std::string folder = "vorher";
    ScriptChosenFolder(std::nullopt);
    EXPECT_FALSE(BrowseForFolder(nullptr, folder));
    EXPECT_EQ(folder, "vorher");
    ScriptChosenFolder("/srv/ziel");
    EXPECT_TRUE(BrowseForFolder(nullptr, folder));
    EXPECT_EQ(folder, "/srv/ziel");
}

}  // namespace
}  // namespace pellandrix::ui
