#include "ui/auto_build.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <utility>

namespace pellandrix::ui {

CAutoBuild::CAutoBuild(QObject* parent, std::function<RunInputs(const IUnchangedPaths&)> run,
                       std::function<bool()> busy, const CProjectSession& session,
                       CMessageService& messages)
    : QObject(parent),
      run_(std::move(run)),
      busy_(std::move(busy)),
      session_(session),
      messages_(messages) {
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, [this] { Wake(); });
}

CAutoBuild::~CAutoBuild() = default;

Outcome CAutoBuild::SetOn(bool on) {
    if (on == IsOn()) {
        return {};
    }
    wake_.stop();
    notifier_.reset();
    if (depth_ > 0) {
        retired_ = std::move(loop_);
    }
    loop_.reset();
    if (!on) {
        return {};
    }
    IWatchHost& host = *this;
    auto loop = std::make_unique<CWatchLoop>(host, session_, messages_);
    if (Outcome started = loop->Start(); !started) {
        return started;
    }
    loop_ = std::move(loop);
    notifier_ = std::make_unique<QSocketNotifier>(loop_->Descriptor(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Wake(); });
    wake_.start(0);
    return {};
}

void CAutoBuild::ProjectChanged() {
    if (loop_ != nullptr) {
        loop_->RunSoon();
        wake_.start(0);
    }
}

bool CAutoBuild::MayRun() {
    // The window is modal itself; any other modal widget is a box over it.
    const QWidget* modal = QApplication::activeModalWidget();
    return !busy_() && (modal == nullptr || modal == parent());
}

void CAutoBuild::Wake() {
    if (loop_ == nullptr) {
        return;
    }
    CWatchLoop* loop = loop_.get();
    ++depth_;
    const int wake = loop->Step();
    --depth_;
    if (depth_ == 0) {
        retired_.reset();
    }
    if (loop_.get() != loop) {
        return;  // switched off (or on anew) meanwhile
    }
    if (wake < 0) {
        wake_.stop();
    } else {
        wake_.start(wake);
    }
}

}  // namespace pellandrix::ui
