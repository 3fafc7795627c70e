#pragma once

// Shared set-up of the main-window tests: a started application on a real
// database in a temporary folder, a shown main window, seeding and reading
// the database through the store, and unattended handling of the modal
// dialogs a command opens.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QtTest>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control_text.h"
#include "store/dao_database.h"
#include "store/project_list.h"
#include "store/tpl_file_list.h"
#include "testkit/files.h"
#include "testkit/recording_presenter.h"
#include "testkit/temp_dir.h"
#include "ui/file_choosers.h"
#include "ui/file_list_view.h"
#include "ui/main_dlg.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui::testing {

// One template file to put into the database before the window opens.
struct SeedFile {
    std::string name;
    int selected = 0;
    int createFile = 1;
    std::string extension = "htm";
};

// A file row as stored in the database.
struct StoredFile {
    std::string name;
    int selected;
    bool operator==(const StoredFile&) const = default;
};

// Answers the modal dialogs that open, in order: each handler receives the
// next dialog that becomes the active modal widget and must close it.
class ModalScript {
  public:
    using Handler = std::function<void(QDialog&)>;

    explicit ModalScript(std::vector<Handler> handlers)
        : handlers_(handlers.begin(), handlers.end()) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(5);
    }
    int Handled() const { return handled_; }
    bool Done() const { return handlers_.empty(); }

  private:
    void Poll() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible() || handlers_.empty()) {
            return;
        }
        Handler handler = std::move(handlers_.front());
        handlers_.pop_front();
        ++handled_;
        handler(*dialog);
    }

    QTimer timer_;
    std::deque<Handler> handlers_;
    int handled_ = 0;
};

// Handlers for ModalScript.
inline ModalScript::Handler Press(int buttonId) {
    return [buttonId](QDialog& dialog) {
        auto* base = dynamic_cast<CBaseDialog*>(&dialog);
        ASSERT_NE(base, nullptr);
        auto* button = base->ControlAs<QAbstractButton>(buttonId);
        ASSERT_NE(button, nullptr) << "button " << buttonId;
        button->click();
    };
}
inline ModalScript::Handler Cancel() {
    return [](QDialog& dialog) { dialog.reject(); };
}
// Fills edit fields (id, text) and presses OK.
inline ModalScript::Handler FillAndAccept(std::vector<std::pair<int, std::string>> fields) {
    return [fields](QDialog& dialog) {
        auto* base = dynamic_cast<CBaseDialog*>(&dialog);
        ASSERT_NE(base, nullptr);
        for (const auto& [id, text] : fields) {
            auto* edit = base->ControlAs<QLineEdit>(id);
            ASSERT_NE(edit, nullptr) << "field " << id;
            edit->setText(QString::fromStdString(text));
        }
        Press(1)(dialog);
    };
}

// A stand-in program in `bin`: prints `answer`, and writes its arguments,
// one a line, to `bin`/<name>.args once it has them all. It runs with
// nothing but `bin` in PATH.
inline void FakeProgram(const std::string& bin, const std::string& name,
                        const std::string& answer = "") {
    const std::string args = bin + "/" + name + ".args";
    testkit::WriteBytes(bin + "/" + name, "#!/bin/sh\n" +
                                              (answer.empty() ? "" : "echo " + answer + "\n") +
                                              "printf '%s\\n' \"$@\" > '" + args +
                                              ".tmp'\n/bin/mv '" + args + ".tmp' '" + args + "'\n");
    std::filesystem::permissions(bin + "/" + name, std::filesystem::perms::owner_all);
}

// What the stand-in `name` was started with; empty when it was not within
// a few seconds.
inline std::vector<std::string> ArgumentsOf(const std::string& bin, const std::string& name) {
    const std::string args = bin + "/" + name + ".args";
    if (!QTest::qWaitFor([&] { return testkit::Exists(args); }, 10000)) {
        return {};
    }
    std::vector<std::string> lines;
    std::istringstream in(testkit::ReadBytes(args));
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class MainDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testkit::WriteBytes(dir_ / "fileext.def", "htm\r\nhtml\r\nphp\r\n");
        app_ = std::make_unique<CPellandrixApp>(presenter_);
        ASSERT_EQ(app_->StartUp(), 0);
        presenter_.shown.clear();
    }
    void TearDown() override {
        window_.reset();
        ResetChoosers();
        app_->ShutDown();
    }

    // Opens the main window on what the database holds now, as the next
    // start would (one open before is closed first).
    CMainDlg& Open() {
        window_.reset();
        window_ = std::make_unique<CMainDlg>();
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }

    CAppCore& Core() { return app_->Core(); }
    CDaoDatabase& Db() { return app_->Core().Database(); }
    const testkit::TempDir& Dir() const { return dir_; }
    // The folder `name` under the test's folder, made if need be.
    std::string Folder(const std::string& name) const {
        const std::string path = Dir() / name;
        std::filesystem::create_directories(path);
        return path;
    }

    // Stores a project with its files and returns its ProjectId.
    int Seed(const std::string& name, const std::vector<SeedFile>& files = {},
             const std::string& source = "", const std::string& target = "") {
        CProjectList projects;
        projects.LoadAll(Db());
        CProjectRecord* project = projects.NewProject();
        project->ProjectName = name;
        project->SourcePath = source.empty() ? Dir().Path().string() : source;
        project->TargetPath = target.empty() ? Dir().Path().string() : target;
        project->DefCreateFileExt = "htm";
        projects.SaveAll(Db());
        CTplFileList list;
        for (const SeedFile& seed : files) {
            CTplFileRecord* file = list.NewFile();
            file->ProjectId = project->ProjectId;
            file->TPLFileName = seed.name;
            file->SourcePath = project->SourcePath.str();
            file->TargetPath = project->TargetPath.str();
            file->Selected = seed.selected;
            file->CreateFile = seed.createFile;
            file->CreateFileExt = seed.extension;
        }
        list.SaveAll(Db(), project->ProjectId);
        return project->ProjectId;
    }

    // What another connection reads from the database file now.
    std::vector<std::string> StoredProjects() {
        CDaoDatabase other;
        other.Open(Db().Path());
        CProjectList projects;
        projects.LoadAll(other);
        std::vector<std::string> names;
        for (const CProjectRecord& project : projects.Records()) {
            names.push_back(project.ProjectName.str());
        }
        return names;
    }
    std::vector<StoredFile> StoredFiles(int projectId) {
        CDaoDatabase other;
        other.Open(Db().Path());
        CTplFileList files;
        files.LoadForProject(other, projectId);
        std::vector<StoredFile> stored;
        for (const CTplFileRecord& file : files.Records()) {
            stored.push_back({file.TPLFileName.str(), file.Selected});
        }
        return stored;
    }

    // The rows of the file list: (name, status, "X" or "", extension).
    std::vector<std::vector<std::string>> Rows() const {
        std::vector<std::vector<std::string>> rows;
        const CFileListView* list = window_->FileList();
        for (int row = 0; row < list->RowCount(); ++row) {
            rows.push_back({list->CellText(row, 0), list->CellText(row, 1), list->CellText(row, 2),
                            list->CellText(row, 3)});
        }
        return rows;
    }
    std::vector<std::string> Statuses() const {
        std::vector<std::string> statuses;
        for (const auto& row : Rows()) {
            statuses.push_back(row[1]);
        }
        return statuses;
    }

    bool Enabled(int id) const { return window_->Control(id)->isEnabled(); }
    void Click(int id) {
        auto* button = window_->ControlAs<QAbstractButton>(id);
        ASSERT_NE(button, nullptr) << "button " << id;
        ASSERT_TRUE(button->isEnabled()) << "button " << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Chooses `index` in the project box as a user does.
    void ChooseProject(int index) {
        QComboBox* box = window_->ProjectBox();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void AnswerNext(std::initializer_list<MessageAnswer> answers) {
        presenter_.answers.assign(answers.begin(), answers.end());
    }
    std::vector<std::string> Messages() const { return presenter_.Texts(); }

    testkit::TempDir dir_;
    testkit::ScopedCurrentDir cd_{dir_.Path()};
    testkit::RecordingPresenter presenter_;
    std::unique_ptr<CPellandrixApp> app_;
    std::unique_ptr<CMainDlg> window_;
};

}  // namespace pellandrix::ui::testing
