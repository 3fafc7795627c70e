#include "ui/auto_build.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <utility>

#include "app/watch_inputs.h"

namespace pellandrix::ui {

namespace {

// Quiet after a change before the run: an editor's write-and-rename counts
// once.
constexpr int kQuietMs = 100;

}  // namespace

CAutoBuild::CAutoBuild(QObject* parent, std::function<RunInputs()> run, std::function<bool()> busy,
                       std::function<const CTplFileList&()> files)
    : QObject(parent), run_(std::move(run)), busy_(std::move(busy)), files_(std::move(files)) {
    quiet_.setSingleShot(true);
    quiet_.setInterval(kQuietMs);
    connect(&quiet_, &QTimer::timeout, this, [this] { Quiet(); });
}

CAutoBuild::~CAutoBuild() = default;

void CAutoBuild::SetOn(bool on) {
    if (on == on_) {
        return;
    }
    on_ = on;
    notifier_.reset();
    watch_.reset();
    quiet_.stop();
    if (on_) {
        watch_ = std::make_unique<CFolderWatch>();
        notifier_ = std::make_unique<QSocketNotifier>(watch_->Descriptor(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Touched(); });
        touched_ = {};
        due_ = true;
        quiet_.start(0);
    }
}

void CAutoBuild::ProjectChanged() {
    if (on_) {
        inputs_ = {};
        due_ = true;
        quiet_.start();
    }
}

void CAutoBuild::Touched() {
    const CFolderWatch::Touched more = watch_->Drain();
    touched_.paths.insert(more.paths.begin(), more.paths.end());
    touched_.everything = touched_.everything || more.everything;
    quiet_.start();
}

void CAutoBuild::Quiet() {
    if (!on_) {
        return;
    }
    // A run going on, or a box open over the window (a message of a run
    // among them): the change waits for it. The window is modal itself.
    const QWidget* modal = QApplication::activeModalWidget();
    if (busy_() || (modal != nullptr && modal != parent())) {
        quiet_.start();
        return;
    }
    const bool cameBack = [&] {
        bool back = false;
        watch_->WatchFolders(FoldersToWatch(inputs_, files_()), nullptr, &back);
        return back;
    }();
    CFolderWatch::Touched touched = std::exchange(touched_, {});
    touched.everything = touched.everything || cameBack;
    if (std::exchange(due_, false) || InputsChanged(inputs_, touched)) {
        RunNow();
    }
}

void CAutoBuild::RunNow() {
    inputs_ = run_();
    if (!on_) {
        return;
    }
    watch_->WatchFolders(FoldersToWatch(inputs_, files_()));
    watch_->Drain();
    // What changed while the run read it, or before the watch stood, is
    // found by looking at every file once.
    if (inputs_.changedDuringRun || InputsChanged(inputs_, {{}, true})) {
        due_ = true;
        quiet_.start();
    }
}

}  // namespace pellandrix::ui
