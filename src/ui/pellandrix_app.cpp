#include "ui/pellandrix_app.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QTranslator>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <exception>
#include <filesystem>

#include "app/data_folder.h"
#include "store/dao_exception.h"
#include "store/database_location.h"
#include "support/string_table.h"
#include "ui/help_system.h"
#include "ui/launch_options.h"
#include "ui/qt_german_texts.h"
#include "ui/qt_presenter.h"

// The main window is written alongside this file; until it exists the
// program starts up, shuts down and ends without a window.
#if __has_include("ui/main_dlg.h")
#include "ui/main_dlg.h"
#define PELLANDRIX_HAVE_MAIN_DLG 1
#else
#define PELLANDRIX_HAVE_MAIN_DLG 0
#endif

namespace pellandrix::ui {

namespace {

CPellandrixApp* gApp = nullptr;

// Test hook for machines without an input tool: with PELLANDRIX_AUTOCLOSE_MS
// set, every that many milliseconds the active modal window (a message box,
// then the main window) gets an Escape key press, as a user would give it.
void StartAutoClose(QObject* owner) {
    const char* value = std::getenv("PELLANDRIX_AUTOCLOSE_MS");
    const int ms = value != nullptr ? std::atoi(value) : 0;
    if (ms <= 0) {
        return;
    }
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            QWidget* target = modal->focusWidget() != nullptr ? modal->focusWidget() : modal;
            // Posted, not sent: an Escape that opens a question (the main
            // window's message 2) must not run that box inside this timer's
            // call, which would keep the timer from reaching the box.
            QApplication::postEvent(
                target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            QApplication::postEvent(
                target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
        }
    });
    timer->start(ms);
}

}  // namespace

CPellandrixApp* App() {
    return gApp;
}

CPellandrixApp::CPellandrixApp()
    : ownPresenter_(std::make_unique<CQtPresenter>()),
      presenter_(ownPresenter_.get()),
      listened_(std::make_unique<CListenedPresenter>(*presenter_)) {}

CPellandrixApp::CPellandrixApp(IMessagePresenter& presenter)
    : presenter_(&presenter), listened_(std::make_unique<CListenedPresenter>(presenter)) {}

CPellandrixApp::~CPellandrixApp() {
    // The database closes with the core; the image list goes with the
    // object.
    DropCore();
    if (gApp == this) {
        gApp = nullptr;
    }
}

int CPellandrixApp::InitInstance(int& argc, char** argv) {
    std::unique_ptr<QApplication> ownApplication;
    if (QApplication::instance() == nullptr) {
        ownApplication = std::make_unique<QApplication>(argc, argv);
    }
    QApplication::setWindowIcon(LoadIconResource(kAppIconResource));
    // Before the first window: the notices of the start-up are Qt message
    // boxes too.
    germanQtTexts_ = InstallGermanQtTexts();
    StartAutoClose(QApplication::instance());

    // Qt has taken its own options out of argv by now.
    const LaunchOptions options = ParseLaunchOptions(argc, argv);
    if (options.where == LaunchOptions::Where::kHelp) {
        std::fputs(kLaunchUsage, stdout);
        return 0;
    }
    if (!EnterStartFolder(options)) {
        return 1;
    }

    // The start directory: the INI file, fileext.def and the help file are
    // looked for there.
    startDirectory_ = CurrentDirectory();
    helpFilePath_.clear();
    (void)HelpFilePath();

    if (const int started = StartUp(); started != 0) {
        ShutDown();
        // Declining to convert an old database is the user's way out.
        return started == kStartDeclined ? 0 : 1;
    }
    int status = 0;
#if PELLANDRIX_HAVE_MAIN_DLG
    try {
        auto mainWindow = std::make_unique<CMainDlg>();
        SetMainWindow(mainWindow.get());
        mainWindow->exec();
        ShutDown();
        mainWindow.reset();
    } catch (const CDaoException& e) {
        // The main window handles the engine's errors of its commands; this
        // is the last guard so that nothing leaves the program unreported.
        if (core_) {
            core_->Messages().ShowError(MessageId::kDatabaseError, e.Message());
        }
        status = 1;
    } catch (const std::exception& e) {
        if (core_) {
            core_->Messages().ShowError(MessageId::kUnexpectedError, e.what());
        }
        status = 1;
    }
    SetMainWindow(nullptr);
#endif
    ShutDown();
    return status;
}

bool CPellandrixApp::EnterStartFolder(const LaunchOptions& options) {
    std::string folder = options.folder;
    if (options.where == LaunchOptions::Where::kDataFolder) {
        folder = DataFolderPath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
        const Outcome prepared = PrepareDataFolder(folder);
        if (!prepared) {
            const Refusal& r = prepared.Refused();
            presenter_->Present(MessageKind::Error, FormatMessage(r.id, r.first, r.second),
                                ButtonStyle::Ok);
            return false;
        }
    }
    // Started in the folder as if started there.
    if (options.where != LaunchOptions::Where::kHere && ::chdir(folder.c_str()) != 0) {
        presenter_->Present(MessageKind::Error,
                            FormatMessage(MessageId::kNoSuchDirectory, folder, ""),
                            ButtonStyle::Ok);
        return false;
    }
    return true;
}

int CPellandrixApp::StartUp() {
    gApp = this;
    if (startDirectory_.empty()) {
        startDirectory_ = CurrentDirectory();
    }
    started_ = false;
    MakeCore();
    try {
        if (core_->StartUp() == DatabaseOpening::kDeclined) {
            return kStartDeclined;
        }
    } catch (const CDaoException& e) {
        core_->Messages().ShowError(MessageId::kDatabaseFailed, core_->Location().fullPath,
                                    e.Message());
        return 1;
    } catch (const std::exception& e) {
        core_->Messages().ShowError(MessageId::kDatabaseFailed, core_->Location().fullPath,
                                    e.what());
        return 1;
    }
    started_ = true;
    return 0;
}

int CPellandrixApp::ShutDown() {
    DropCore();
    started_ = false;
    return 0;
}

CAppCore& CPellandrixApp::Core() {
    if (!core_) {
        // Before StartUp or after ShutDown: a core without a database, so
        // that a stray call cannot crash.
        MakeCore();
    }
    return *core_;
}

CProjectSession& CPellandrixApp::Session() {
    Core();
    return *session_;
}

bool CPellandrixApp::ShowRefusal(const Outcome& outcome) {
    if (!outcome) {
        const Refusal& r = outcome.Refused();
        Core().Messages().ShowError(r.id, r.first, r.second);
    }
    return outcome.Done();
}

void CPellandrixApp::MakeCore() {
    session_.reset();
    core_ = std::make_unique<CAppCore>(*listened_);
    session_ = std::make_unique<CProjectSession>(*core_);
}

void CPellandrixApp::DropCore() {
    // The session borrows the core.
    session_.reset();
    core_.reset();
}

const std::string& CPellandrixApp::HelpFilePath() const {
    if (helpFilePath_.empty()) {
        const std::string dir = startDirectory_.empty() ? CurrentDirectory() : startDirectory_;
        helpFilePath_ = FindHelpFile(dir);
        if (helpFilePath_.empty()) {
            helpFilePath_ = dir + "/" + kHelpFileName;
        }
    }
    return helpFilePath_;
}

void CPellandrixApp::WinHelp(int data) {
    ShowHelpTopic(DialogHelpTopic(data - 0x20000));
}

void CPellandrixApp::ShowHelpTopic(int topic) {
    const std::string& path = HelpFilePath();
    std::error_code ec;
    ShowHelpWindow(std::filesystem::is_regular_file(path, ec) ? path : std::string(), topic);
}

}  // namespace pellandrix::ui
