#include "ui/file_choosers.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <utility>

#include "app/template_location.h"

namespace pellandrix::ui {

namespace {

// The state of ChooseTemplateFiles, kept for the whole process
// and shared by all callers.
struct ChooserState {
    std::vector<std::string> pending;
    int nextIndex = 0;
    std::optional<std::vector<std::string>> scriptedFiles;
    std::optional<std::optional<std::string>> scriptedFolder;
};

ChooserState& State() {
    static ChooserState state;
    return state;
}

// The chosen file's name and folder, split as the session splits every
// template path.
void SplitPath(const std::string& path, std::string& name, std::string& directory) {
    TemplateLocation location = SplitTemplatePath(path);
    name = std::move(location.name);
    directory = std::move(location.folder);
}

// Restores the process's current directory whatever the dialog does.
class CurrentDirGuard {
  public:
    CurrentDirGuard() : saved_(QDir::currentPath()) {}
    ~CurrentDirGuard() { QDir::setCurrent(saved_); }
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;

  private:
    QString saved_;
};

// Qt's own file dialog rather than the desktop's, so that it speaks the
// program's language (Qt's German texts) whatever the system's locale; like
// the program's dialogs, modal to the window that opened it only.
void PrepareDialog(QFileDialog& dialog, QWidget* parent) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (parent != nullptr) {
        dialog.setWindowModality(Qt::WindowModal);
    }
}

// The chosen files in the dialog's order; empty when cancelled.
std::vector<std::string> RunFileDialog(QWidget* parent, const std::string& startDir,
                                       const std::string& extension, bool several) {
    ChooserState& state = State();
    if (state.scriptedFiles) {
        std::vector<std::string> files = std::move(*state.scriptedFiles);
        state.scriptedFiles.reset();
        return files;
    }
    const CurrentDirGuard guard;
    const QString ext = QString::fromStdString(extension);
    QFileDialog dialog(parent);
    PrepareDialog(dialog, parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setDirectory(startDir.empty() ? QDir::currentPath() : QString::fromStdString(startDir));
    const QString pattern = QStringLiteral("*.%1").arg(ext);
    dialog.setNameFilter(pattern);
    // The file-name box starts with the pattern, as the filter.
    dialog.selectFile(pattern);
    dialog.setDefaultSuffix(ext);
    dialog.setOption(QFileDialog::ReadOnly, false);
    std::vector<std::string> files;
    if (dialog.exec() == QDialog::Accepted) {
        for (const QString& file : dialog.selectedFiles()) {
            files.push_back(QFileInfo(file).absoluteFilePath().toStdString());
        }
    }
    return files;
}

bool DeliverNext(std::string& name, std::string& directory) {
    ChooserState& state = State();
    if (state.nextIndex >= static_cast<int>(state.pending.size())) {
        state.pending.clear();
        state.nextIndex = 0;
        name.clear();
        directory.clear();
        return false;
    }
    SplitPath(state.pending[static_cast<std::size_t>(state.nextIndex)], name, directory);
    ++state.nextIndex;
    return true;
}

}  // namespace

bool ChooseTemplateFiles(QWidget* parent, const std::string& startDir, const std::string& extension,
                         std::string& name, std::string& directory, bool several) {
    ChooserState& state = State();
    if (several && !state.pending.empty()) {
        return DeliverNext(name, directory);
    }
    const std::vector<std::string> files = RunFileDialog(parent, startDir, extension, several);
    if (files.empty()) {
        return false;
    }
    if (files.size() == 1) {
        SplitPath(files.front(), name, directory);
        if (several) {
            // The next call ends the loop.
            state.pending = files;
            state.nextIndex = static_cast<int>(state.pending.size());
        }
        return true;
    }
    if (several) {
        state.pending = files;
        state.nextIndex = 0;
        return DeliverNext(name, directory);
    }
    return false;
}

bool BrowseForFolder(QWidget* parent, std::string& folder) {
    ChooserState& state = State();
    std::optional<std::string> chosen;
    if (state.scriptedFolder) {
        chosen = std::move(*state.scriptedFolder);
        state.scriptedFolder.reset();
    } else {
        QFileDialog dialog(parent, QStringLiteral("Select a folder:"));
        PrepareDialog(dialog, parent);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        dialog.setOption(QFileDialog::DontResolveSymlinks, true);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = QDir(dialog.selectedFiles().constFirst()).absolutePath().toStdString();
        }
    }
    if (!chosen || chosen->empty()) {
        return false;
    }
    folder = *chosen;
    return true;
}

void ScriptChosenFiles(std::vector<std::string> paths) {
    State().scriptedFiles = std::move(paths);
}

void ScriptChosenFolder(std::optional<std::string> folder) {
    State().scriptedFolder = std::move(folder);
}

void ResetChoosers() {
    ChooserState& state = State();
    state.pending.clear();
    state.nextIndex = 0;
    state.scriptedFiles.reset();
    state.scriptedFolder.reset();
}

int PendingChosenFiles() {
    const ChooserState& state = State();
    return static_cast<int>(state.pending.size()) - state.nextIndex > 0
               ? static_cast<int>(state.pending.size()) - state.nextIndex
               : 0;
}

}  // namespace pellandrix::ui
