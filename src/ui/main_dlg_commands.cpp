// The command handlers of the main window's buttons and notifications.

#include <QComboBox>

#include <optional>
#include <string>
#include <vector>

#include "app/live_preview.h"
#include "engine/template_paths.h"
#include "ui/about_dlg.h"
#include "ui/file_choosers.h"
#include "ui/file_list_view.h"
#include "ui/main_dlg.h"
#include "ui/main_window_projects.h"
#include "ui/messages_window.h"
#include "ui/new_project_dlg.h"
#include "ui/pellandrix_app.h"
#include "ui/project_settings_dlg.h"

namespace pellandrix::ui {

namespace {

CAppCore& Core() {
    return App()->Core();
}

CProjectSession& Session() {
    return App()->Session();
}

// The project box shows names of at most 49 characters; the question about
// deleting a project quotes the box's text with this much room.
constexpr std::size_t kDeleteQuestionChars = 99;

}  // namespace

void CMainDlg::OnQuit() {
    // Saved even with no current project: a project deleted last must not
    // come back at the next start.
    Session().Save();
    accept();
}

void CMainDlg::AskSaveOnClose() {
    if (CurrentProject() == nullptr) {
        return;
    }
    const MessageAnswer answer =
        Core().Messages().AskQuestion(MessageId::kSaveChanges, ButtonStyle::YesNo, "", "");
    if (answer == MessageAnswer::Yes) {
        Session().Save();
    }
}

void CMainDlg::OnNewProject() {
    const auto askName = [this]() -> std::optional<std::string> {
        CNewProjectDlg dialog(this);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.EnteredName();
    };
    const auto editSettings = [this](CProjectRecord& project) {
        FillProjectBox();
        SelectProjectInCombo(*projectBox_, Session().Projects(), project.ProjectId);
        ShowCurrentProject();
        OnProjectSettings();
        return Outcome();
    };
    App()->ShowRefusal(Session().NewProject(askName, editSettings));
    UpdateButtons();
}

void CMainDlg::OnDeleteProject() {
    const std::string name = ComboText(*projectBox_, kDeleteQuestionChars);
    if (Core().Messages().AskQuestion(MessageId::kDeleteProject, ButtonStyle::OkCancel, name) !=
        MessageAnswer::Ok) {
        return;
    }
    Session().DeleteProject(name);
    FillProjectBox();
    ShowCurrentProject();
}

void CMainDlg::OnProjectSettings() {
    LeaveHelpMode();
    CProjectRecord* project = CurrentProject();
    if (project == nullptr) {
        return;
    }
    CProjectSettingsDlg dialog(*project, this);
    // A directory chosen in the dialog is kept even when it is cancelled,
    // and the name may have changed: the box is refilled either way.
    dialog.exec();
    FillProjectBox();
    SelectProjectInCombo(*projectBox_, Session().Projects(), project->ProjectId);
}

void CMainDlg::OnAddFiles() {
    if (CurrentProject() == nullptr) {
        return;
    }
    std::string name;
    std::string directory;
    while (ChooseTemplateFiles(this, CurrentProject()->SourcePath.str(), "tpl", name, directory,
                               true)) {
        AddChosenFile(name, directory);
    }
    RefreshFileList();
    UpdateButtons();
}

bool CMainDlg::AddChosenFile(const std::string& name, const std::string& directory) {
    std::vector<CTplFileRecord*> added;
    const Outcome outcome =
        Session().AddTemplatePaths({JoinPath(directory, name)}, FileSettings(), true, &added);
    if (!outcome) {
        // A file already in the project is simply not added again.
        if (outcome.Refused().id != MessageId::kFileAlreadyInProject) {
            App()->ShowRefusal(outcome);
        }
        return false;
    }
    RefreshFileList();
    fileList_->SetSelectionMark(added.front()->ListRow);
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
    Session().RemoveFile(*entry);
    RefreshFileList();
    UpdateButtons();
}

void CMainDlg::OnSelectAll() {
    Session().SelectAll();
    RefreshFileList();
}

void CMainDlg::OnFileSettings() {
    OpenFileSettings();
    RefreshFileList();
}

void CMainDlg::OnCreateFiles() {
    Generate({});
}

void CMainDlg::OnCreateChangedFiles() {
    RunChanged();
}

RunInputs CMainDlg::RunChanged(const IUnchangedPaths* unchanged) {
    GenerateOptions options;
    options.changed = true;
    options.inputs = true;
    options.unchanged = unchanged;
    return Generate(options);
}

RunInputs CMainDlg::Generate(const GenerateOptions& options) {
    // The close box is ignored while the run lasts.
    struct RunningScope {
        CMainDlg& window;
        explicit RunningScope(CMainDlg& w) : window(w) {
            window.running_ = true;
            window.ShowAutoState();
        }
        ~RunningScope() {
            window.running_ = false;
            window.ShowAutoState();
        }
    } scope(*this);
    // The window lists the run's messages beside the boxes, each with the
    // place the run was at when it came; so does the preview's overlay.
    std::vector<PreviewMessage> shown;
    struct ListeningScope {
        ListeningScope(CMessagesWindow& window, std::vector<PreviewMessage>& shown) {
            window.BeginRun();
            App()->ListenToMessages([&window, &shown](MessageKind kind, const std::string& text) {
                std::vector<SourcePlace> place = Session().RunPlace();
                shown.push_back({text, place});
                window.AddRunMessage({kind == MessageKind::Error, text, std::move(place)});
            });
        }
        ~ListeningScope() { App()->ListenToMessages(nullptr); }
    };
    GenerateReport report;
    {
        const ListeningScope listening(*messages_, shown);
        Session().Generate(*this, options, &report);
        messages_->EndRun();
    }
    // Pages reload only now that the run has written them whole; a browser
    // that cannot be started is no message of the run.
    App()->ShowRefusal(preview_->RunEnded(std::move(shown)));
    return std::move(report.inputs);
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
    CTplFileRecord* entry = Session().EntryAtRow(row);
    const bool checked = fileList_->RowChecked(row);
    if (entry != nullptr && row >= 0 && checked != (entry->Selected != 0)) {
        // Rebuilding makes the status follow the box: "deaktiviert" when
        // cleared, "aktiviert" when ticked unless a run got further.
        Session().SetSelected(*entry, checked);
        RefreshFileList();
    }
    Refreshing = 0;
}

}  // namespace pellandrix::ui
