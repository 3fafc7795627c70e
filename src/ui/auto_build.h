#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/generate_options.h"
#include "app/outcome.h"
#include "app/watch_loop.h"

class QSocketNotifier;

namespace pellandrix {
class CMessageService;
class CProjectSession;
}  // namespace pellandrix

namespace pellandrix::ui {

// "automatisch erstellen": while on, the watch loop runs the project again
// whenever what the last run read has changed. This object only wakes the
// loop from the window's event loop. No run starts while one goes on or a
// box is open over the window: the change waits for it.
class CAutoBuild : public QObject, private IWatchHost {
    Q_OBJECT

  public:
    // `run` does one run that takes what did not change from the record
    // (trusting the paths the loop vouches for) and returns what it read; `busy` tells when a run
    // must wait (one is going on). Borrows `session` and `messages`, which must outlive it.
    CAutoBuild(QObject* parent, std::function<RunInputs(const IUnchangedPaths&)> run,
               std::function<bool()> busy, const CProjectSession& session,
               CMessageService& messages);
    ~CAutoBuild() override;

    bool IsOn() const { return loop_ != nullptr; }
    // Turning it on runs at once; refused (and left off) when the folders
    // cannot be watched. Turning it off stops watching.
    Outcome SetOn(bool on);
    // Another project is shown: while on, it is run and watched instead.
    void ProjectChanged();
    // Whether a change was seen and waits to be looked at.
    bool Waiting() const { return loop_ != nullptr && loop_->Waiting(); }

  private:
    RunInputs Run(const IUnchangedPaths& unchanged) override { return run_(unchanged); }
    bool MayRun() override;
    void Wake();

    std::function<RunInputs(const IUnchangedPaths&)> run_;
    std::function<bool()> busy_;
    const CProjectSession& session_;
    CMessageService& messages_;
    std::unique_ptr<CWatchLoop> loop_;
    std::unique_ptr<QSocketNotifier> notifier_;
    // A loop switched off while it was stepping goes when the step ends.
    std::unique_ptr<CWatchLoop> retired_;
    QTimer wake_;
    int depth_ = 0;  // steps going on (a box's event loop may wake it again)
};

}  // namespace pellandrix::ui
