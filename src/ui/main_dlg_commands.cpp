// The command handlers of the main window's buttons and notifications.

#include <QComboBox>

#include <string>

#include "engine/generation_run.h"
#include "ui/about_dlg.h"
#include "ui/file_choosers.h"
#include "ui/file_list_view.h"
#include "ui/main_dlg.h"
#include "ui/main_window_projects.h"
#include "ui/new_project_dlg.h"
#include "ui/pellandrix_app.h"
#include "ui/project_settings_dlg.h"

namespace pellandrix::ui {

namespace {

CAppCore& Core() {
    return App()->Core();
}

// The project box shows names of at most 49 characters; the question about
// deleting a project quotes the box's text with this much room.
constexpr std::size_t kDeleteQuestionBytes = 99;

}  // namespace

void CMainDlg::OnQuit() {
    if (currentProject_ != nullptr) {
        Core().Projects().SaveProjectAndFiles(Core().Database(), currentProject_->ProjectId,
                                              Core().Files());
    }
    accept();
}

void CMainDlg::AskSaveOnClose() {
    if (currentProject_ == nullptr) {
        return;
    }
    const MessageAnswer answer =
        Core().Messages().AskQuestion(MessageId::kSaveChanges, ButtonStyle::YesNo, "", "");
    if (answer == MessageAnswer::Yes) {
        Core().Projects().SaveProjectAndFiles(Core().Database(), currentProject_->ProjectId,
                                              Core().Files());
    }
}

void CMainDlg::OnNewProject() {
    CProjectList& projects = Core().Projects();
    CProjectRecord* project = projects.NewProject();
    CNewProjectDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        // The id stays used: the counter is not wound back.
        projects.Remove(project);
        return;
    }
    project->ProjectName = dialog.EnteredName();
    FillProjectBox();
    SelectProjectInCombo(*projectBox_, projects, project->ProjectId);
    ChangeProject();
    OnProjectSettings();
    projects.SaveAll(Core().Database());
    UpdateButtons();
}

void CMainDlg::OnDeleteProject() {
    const std::string name = ComboText(*projectBox_, kDeleteQuestionBytes);
    if (Core().Messages().AskQuestion(MessageId::kDeleteProject, ButtonStyle::OkCancel, name) !=
        MessageAnswer::Ok) {
        return;
    }
    if (CProjectRecord* project = Core().Projects().FindByName(name)) {
        project->Deleted = 1;
    }
    FillProjectBox();
    // The deleted project is still current, so this saves its files before
    // the project now shown takes over.
    ChangeProject();
}

void CMainDlg::OnProjectSettings() {
    LeaveHelpMode();
    if (currentProject_ == nullptr) {
        return;
    }
    CProjectSettingsDlg dialog(*currentProject_, this);
    // A directory chosen in the dialog is kept even when it is cancelled,
    // and the name may have changed: the box is refilled either way.
    dialog.exec();
    FillProjectBox();
    SelectProjectInCombo(*projectBox_, Core().Projects(), currentProject_->ProjectId);
}

void CMainDlg::OnAddFiles() {
    if (currentProject_ == nullptr) {
        return;
    }
    std::string name;
    std::string directory;
    while (ChooseTemplateFiles(this, currentProject_->SourcePath.str(), "tpl", name, directory,
                               true)) {
        AddChosenFile(name, directory);
    }
    RefreshFileList();
    UpdateButtons();
}

bool CMainDlg::AddChosenFile(const std::string& name, const std::string& directory) {
    CTplFileList& files = Core().Files();
    // Compared as the record would store them, so an over-long name or path
    // still matches its stored, cut form.
    const decltype(CTplFileRecord::TPLFileName) storedName(name);
    const decltype(CTplFileRecord::SourcePath) storedDirectory(directory);
    for (const CTplFileRecord& entry : files.Records()) {
        if (!entry.Deleted && entry.TPLFileName.str() == storedName.str() &&
            entry.SourcePath.str() == storedDirectory.str()) {
            return false;
        }
    }
    CTplFileRecord* entry = files.NewFile();
    entry->ProjectId = currentProject_->ProjectId;
    entry->TPLFileName = name;
    entry->SourcePath = directory;
    entry->Unconfirmed = 1;
    RefreshFileList();
    fileList_->SetSelectionMark(entry->ListRow);
    // The user confirms the file there; cancelling removes it again.
    OpenFileSettings();
    return true;
}

void CMainDlg::OnRemoveFile() {
    CTplFileRecord* entry = EntryAtSelectionMark();
    if (entry == nullptr) {
        return;
    }
    if (Core().Messages().AskQuestion(MessageId::kRemoveFile, ButtonStyle::OkCancel,
                                      entry->TPLFileName.str(), "") != MessageAnswer::Ok) {
        return;
    }
    entry->Deleted = 1;
    RefreshFileList();
    UpdateButtons();
}

void CMainDlg::OnSelectAll() {
    for (CTplFileRecord& entry : Core().Files().Records()) {
        if (!entry.Deleted) {
            entry.Selected = 1;
        }
    }
    RefreshFileList();
}

void CMainDlg::OnFileSettings() {
    OpenFileSettings();
    RefreshFileList();
}

void CMainDlg::OnCreateFiles() {
    CTemplateParser& parser = Core().Parser();
    // Included templates report their statuses through the parser's view.
    struct RunScope {
        CMainDlg& window;
        CTemplateParser& parser;
        RunScope(CMainDlg& w, CTemplateParser& p) : window(w), parser(p) {
            window.running_ = true;
            parser.SetView(&window);
        }
        ~RunScope() {
            parser.SetView(nullptr);
            window.running_ = false;
        }
    } scope(*this, parser);
    RunGeneration(parser, *this);
}

void CMainDlg::OnAbout() {
    LeaveHelpMode();
    CAboutDlg dialog(this);
    dialog.exec();
}

void CMainDlg::OnItemChanged(QTreeWidgetItem* item) {
    if (Refreshing) {
        return;
    }
    Refreshing = 1;
    const int row = fileList_->indexOfTopLevelItem(item);
    CTplFileRecord* entry = Core().Files().FindByListRow(row);
    const bool checked = fileList_->RowChecked(row);
    if (entry != nullptr && row >= 0 && checked != (entry->Selected != 0)) {
        // Rebuilding makes the status follow the box: "deaktiviert" when
        // cleared, "aktiviert" when ticked unless a run got further.
        entry->Selected = checked ? 1 : 0;
        RefreshFileList();
    }
    Refreshing = 0;
}

}  // namespace pellandrix::ui
