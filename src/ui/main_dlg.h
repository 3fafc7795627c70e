#pragma once

#include <QRect>

#include <functional>
#include <initializer_list>
#include <memory>

#include "app/generate_options.h"
#include "engine/run_view.h"
#include "ui/base_dialog.h"

class QAbstractButton;
class QAction;
class QCloseEvent;
class QComboBox;
class QProgressBar;
class QResizeEvent;
class QTreeWidgetItem;

namespace pellandrix {
class CLivePreview;
class CProjectRecord;
class CTplFileRecord;
}  // namespace pellandrix

namespace pellandrix::ui {

class CAutoBuild;
class CFileListMenu;
class CFileListView;
class CMessagesWindow;

// The program's main window (dialog 102, "Pellandrix"): the project box
// with the project commands, the file list of the current project with a
// check box per file, the file commands, the closing button, "alles
// auswählen", "Dateien erstellen" and the progress bar of a generation run.
//
// Every command works on the application core's project list and on the
// template-file list of the current project. The database is written only
// when the current project is left or deleted (its files), when a project
// is created (all projects), and on "Programm beenden" or on closing with
// "Ja" (all projects and the current project's files). Escape closes as the
// close box does: with a project, after asking whether to save.
//
// The window cannot be made smaller than the size at which every caption
// (button captions, column headings) still fits.
//
// Requires App() after a successful StartUp: the constructor builds the
// window, loads the project list, shows the first project and registers
// itself as the application's main window. A database error in a command
// is shown in a message box and the window stays open.
class CMainDlg : public CBaseDialog, public IRunView {
    Q_OBJECT

  public:
    static constexpr int kResourceId = 102;
    // Control ids.
    static constexpr int kQuit = 1;
    static constexpr int kSelectAll = 1002;
    static constexpr int kCreateFiles = 1003;
    static constexpr int kAddFiles = 1004;
    static constexpr int kRemoveFile = 1005;
    static constexpr int kFileList = 1006;
    static constexpr int kNewProject = 1007;
    static constexpr int kDeleteProject = 1008;
    static constexpr int kProjectBox = 1009;
    static constexpr int kProjectSettings = 1010;
    static constexpr int kFileSettings = 1011;
    static constexpr int kProgress = 1024;
    static constexpr int kHelpMode = 1025;
    static constexpr int kAbout = 1026;

    explicit CMainDlg(QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Rebuilds the rows of the file list from the template-file list in list
    // order, skipping deleted entries and renumbering their ListRow (-1 for
    // deleted ones). An unselected entry shows "deaktiviert"; a selected one
    // still "deaktiviert" becomes "aktiviert", later statuses stay. Returns
    // 0 before the window is initialised, else 1.
    int RefreshFileList();
    // Enables the project and file commands when the project box names a
    // live project, "alles auswählen" and "Dateien erstellen" when the
    // project has a live file. "Datei einstellungen" stays enabled.
    void UpdateButtons();
    // Makes the project named in the project box current: the files of the
    // project being left are saved first; nothing happens when the box names
    // the current project. With no project named, the file list is emptied.
    // Returns 0 when nothing changed, else 1.
    int ChangeProject();
    // Runs the file settings dialog for the entry at the selection mark (if
    // any) and refreshes the list, keeping that row selected.
    void OpenFileSettings();

    // The project whose files the list shows, or null. Not owned.
    CProjectRecord* CurrentProject() const;
    // The file list and the project box, for callers that drive the window.
    CFileListView* FileList() const { return fileList_; }
    QComboBox* ProjectBox() const { return projectBox_; }
    QProgressBar* Progress() const { return progress_; }
    // The file list's context menu, to which further entries can be added.
    CFileListMenu* FileMenu() const { return fileMenu_; }
    CAutoBuild* AutoBuild() const { return autoBuild_; }
    // "Vorschau im Browser": the preview server beside the automatic runs.
    const CLivePreview& Preview() const { return *preview_; }
    // The "Meldungen" window: the last run's messages, the project's check.
    CMessagesWindow* MessagesWindow() const { return messages_; }

    // IRunView: the generation run's statuses and progress, repainted at
    // once so the window follows the run.
    void RefreshRowStatus(int row) override;
    void UpdateFirstItem() override;
    void SetProgressRange(int lowest, int highest) override;
    void SetProgressPos(int position) override;
    void RefreshButtons() override;

    // Escape and every other cancel: closes the window as the close box
    // does (closeEvent), so a project's changes are offered for saving.
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Construction (main_window_layout.cpp).
    void CreateControls();
    void CreateProjectRow();
    void CreateFileArea();
    void CreateBottomRow();
    // One push button whose caption may wrap, made into `button` at `rect`.
    struct ButtonPlace {
        QAbstractButton*& button;
        int id;
        const char* caption;
        QRect rect;
    };
    void PlaceButtons(std::initializer_list<ButtonPlace> buttons);
    void ConnectCommands();
    void ConnectAutoBuild();
    // Turns "automatisch erstellen" on or off as kept for the current
    // project; while it stays as it is, the project shown is run and watched.
    void RestoreAutoBuild();
    // "Vorschau im Browser" (main_window_preview.cpp).
    void ConnectPreview();
    // Ticked for list row `row`: serves the project's target folders,
    // switches "automatisch erstellen" on for as long as it is needed, and
    // opens the row's page once a run has written it. Unticked: StopPreview.
    void SetPreview(bool on, int row);
    // Stops serving and unticks the entry; "automatisch erstellen" goes off
    // again when only the preview had switched it on.
    void StopPreview();
    void ConnectMessagesWindow();
    void InitialiseContents();
    void SetReadableMinimumSize();

    // Commands (main_dlg_commands.cpp).
    void OnQuit();
    void OnNewProject();
    void OnDeleteProject();
    void OnProjectSettings();
    void OnAddFiles();
    bool AddChosenFile(const std::string& name, const std::string& directory);
    void OnRemoveFile();
    void OnSelectAll();
    void OnFileSettings();
    void OnCreateFiles();
    // The same run, taking from the record what did not change since the
    // last one: the context menu of "Dateien erstellen", and F5.
    void OnCreateChangedFiles();
    // That run, telling what it read (for "automatisch erstellen", which
    // vouches for the paths `unchanged` names).
    RunInputs RunChanged(const IUnchangedPaths* unchanged = nullptr);
    // A run as `options` say, with the close box ignored while it lasts.
    RunInputs Generate(const GenerateOptions& options);
    void OnAbout();
    void OnItemChanged(QTreeWidgetItem* item);
    void AskSaveOnClose();

    // Runs `command` so that no exception leaves it: an engine error is
    // shown in a message box and the window goes on. Returns false then.
    bool RunCommand(const std::function<void()>& command);
    void FillProjectBox();
    // Shows the session's current project: its files and the buttons.
    void ShowCurrentProject();
    void ShowEntryRow(const CTplFileRecord& entry, int row);
    // The status cell of `row`: its text, and the row marked by it ("Fehler"
    // stands out, "unverändert" is quieter).
    void ShowRowStatus(const CTplFileRecord& entry, int row);
    CTplFileRecord* EntryAtSelectionMark() const;
    void FollowRun();
    // While "automatisch erstellen" is on and no run goes, the progress
    // field says so, and where the preview is served while it is on.
    void ShowAutoState();

    // The window's buttons.
    QAbstractButton* quit_ = nullptr;
    QAbstractButton* selectAll_ = nullptr;
    QAbstractButton* createFiles_ = nullptr;
    QAbstractButton* addFiles_ = nullptr;
    QAbstractButton* removeFile_ = nullptr;
    QAbstractButton* newProject_ = nullptr;
    QAbstractButton* deleteProject_ = nullptr;
    QAbstractButton* projectSettings_ = nullptr;
    QAbstractButton* fileSettings_ = nullptr;
    QAbstractButton* helpMode_ = nullptr;
    QAbstractButton* about_ = nullptr;
    CFileListView* fileList_ = nullptr;
    CFileListMenu* fileMenu_ = nullptr;
    CAutoBuild* autoBuild_ = nullptr;      // a child of the window
    CMessagesWindow* messages_ = nullptr;  // a child of the window
    std::unique_ptr<CLivePreview> preview_;
    QAction* previewEntry_ = nullptr;  // belongs to the file list's menu
    // "automatisch erstellen" is on only because the preview switched it
    // on: it goes off with the preview, and the project does not keep it.
    bool autoForPreview_ = false;
    QComboBox* projectBox_ = nullptr;
    QProgressBar* progress_ = nullptr;
    int initialised_ = 0;
    // Client width when the column widths were set; resizes scale them by
    // the ratio of the new width to this one.
    int initialClientWidth_ = 0;
    // A generation run is going on: the window ignores the close box.
    bool running_ = false;
    // The close event is ending the dialog (through reject()).
    bool closing_ = false;
};

}  // namespace pellandrix::ui
