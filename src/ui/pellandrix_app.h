#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/app_core.h"
#include "app/project_session.h"
#include "support/message_service.h"
#include "ui/icon_image_list.h"

class QApplication;
class QTranslator;

namespace pellandrix::ui {

class CMainDlg;  // src/ui/main_dlg.h
class CQtPresenter;
struct LaunchOptions;

// StartUp's result when the user declined to convert an old Jet database.
inline constexpr int kStartDeclined = 2;

// Icon slots of IconSlots().
inline constexpr int kHelpIconSlot = 7;         // icon resource 132
inline constexpr int kInformationIconSlot = 9;  // icon resource 135
// Icon resources.
inline constexpr int kAppIconResource = 128;
inline constexpr int kHelpIconResource = 132;
inline constexpr int kInformationIconResource = 135;

// The program's single application object. It owns, for the
// whole run, the application core (database, project list, template parser
// with the current project's files and define table, extension list,
// message service), the icon image list and IconSlots. Everything else
// reaches it through App().
//
// Program:   QApplication qa(argc, argv); CPellandrixApp app;
//            return app.InitInstance(argc, argv);
// Tests:     CPellandrixApp app(presenter); ScopedCurrentDir cd(tmp);
//            ASSERT_EQ(app.StartUp(), 0); CMainDlg dlg; ... app.ShutDown();
class CPellandrixApp {
  public:
    // Shows messages in Qt message boxes (CQtPresenter).
    CPellandrixApp();
    // Shows messages through `presenter`, which must outlive the object.
    explicit CPellandrixApp(IMessagePresenter& presenter);
    ~CPellandrixApp();
    CPellandrixApp(const CPellandrixApp&) = delete;
    CPellandrixApp& operator=(const CPellandrixApp&) = delete;

    // Runs the program and returns the process exit status: creates a
    // QApplication if none exists yet, makes Qt's own texts German (for as
    // long as this object lives), reads argv (ParseLaunchOptions: after
    // --help it prints the usage and returns 0), changes into the folder
    // argv[1] names (1 after message 23 when it cannot) or, for
    // --data-folder, into the user's data folder, made ready first (1 after
    // message 51 when it cannot be), sets the help file path, StartUp,
    // constructs the main window and runs it modally (exec), ShutDown,
    // destroys the main window. 0 after a normal end; 1 when the database
    // could not be created or opened (after the error box, message 15); 0
    // without a window when the user declined to convert an old Jet
    // database.
    // The main window is constructed after StartUp: a Qt dialog builds its
    // widgets in its constructor, and the main window's constructor may use
    // Core().
    int InitInstance(int& argc, char** argv);

    // StartUp in the process's current directory: sets App() to
    // this object, reads the database location, reads fileext.def, creates
    // (after notice 1) or opens the database. Returns 0; on an engine error
    // shows message 15 (database path, engine message), leaves the file
    // untouched and returns 1 (Core() then exists but has no open database).
    // A database in the old Jet format is converted after question 48;
    // answered other than Yes, returns kStartDeclined with the file
    // untouched and no database open.
    int StartUp();
    // Deletes what StartUp created (the application core). Returns 0.
    int ShutDown();
    // True between a successful StartUp and ShutDown.
    bool Started() const { return started_; }

    // The application core; valid after StartUp until ShutDown.
    CAppCore& Core();
    // The use cases on the core's project database; as long as the core.
    CProjectSession& Session();
    // Shows a refused verb's message in a box; true when the verb was done.
    bool ShowRefusal(const Outcome& outcome);
    CIconImageList& ImageList() { return imageList_; }
    // Image-list index per icon slot; -1 = empty. Slot 7 help, 9 information.
    std::vector<int>& IconSlots() { return iconSlots_; }

    // The main window, non-owning; set by the main window at the end of its
    // initialisation (and by InitInstance after constructing it).
    CMainDlg* MainWindow() const { return mainWindow_; }
    void SetMainWindow(CMainDlg* window) { mainWindow_ = window; }

    // While `listener` is set, it hears every message before it is shown
    // (the messages window's list of a run); empty ends that.
    void ListenToMessages(CListenedPresenter::Listener listener) {
        listened_->SetListener(std::move(listener));
    }

    // The help file (Pellandrix-Hilfe.html): the first existing of the start
    // directory, the installed data directory and the source tree's data/
    // folder; the start directory's path when none exists.
    const std::string& HelpFilePath() const;
    // The framework's help hook: data = 0x20000 + dialog id (F1).
    void WinHelp(int data);
    // Shows help topic `topic` in the program's help window (0: start page).
    void ShowHelpTopic(int topic);

    // The directory the program was started in (read by InitInstance or
    // StartUp).
    const std::string& StartDirectory() const { return startDirectory_; }

  private:
    // Changes into the folder `options` names, making the data folder ready
    // first. False after showing why it could not (message 51 or 23).
    bool EnterStartFolder(const LaunchOptions& options);

    std::unique_ptr<CQtPresenter> ownPresenter_;
    std::unique_ptr<QTranslator> germanQtTexts_;
    IMessagePresenter* presenter_;
    std::unique_ptr<CListenedPresenter> listened_;  // passes on to presenter_
    void MakeCore();
    void DropCore();

    std::unique_ptr<CAppCore> core_;
    std::unique_ptr<CProjectSession> session_;
    CIconImageList imageList_;
    std::vector<int> iconSlots_;
    CMainDlg* mainWindow_ = nullptr;
    std::string startDirectory_;
    mutable std::string helpFilePath_;
    bool started_ = false;
};

// The global application pointer: set as the first step of StartUp, cleared
// when that object is destroyed. Null before.
CPellandrixApp* App();

}  // namespace pellandrix::ui
