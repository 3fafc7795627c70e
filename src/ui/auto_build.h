#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/generate_options.h"
#include "support/folder_watch.h"

class QSocketNotifier;

namespace pellandrix {
class CTplFileList;
}

namespace pellandrix::ui {

// "automatisch erstellen": while on, a run that takes what did not change
// from the record follows whenever a file the last run read has changed
// and has been quiet for a moment. Runs never overlap, and none starts
// while a message box is open: the change waits for it.
class CAutoBuild : public QObject {
    Q_OBJECT

  public:
    // `run` does one such run and returns what it read; `busy` tells when
    // a run must wait (one is going on). `files` is the project's list.
    CAutoBuild(QObject* parent, std::function<RunInputs()> run, std::function<bool()> busy,
               std::function<const CTplFileList&()> files);
    ~CAutoBuild() override;

    bool IsOn() const { return on_; }
    // Turning it on runs at once; turning it off stops watching.
    void SetOn(bool on);
    // Another project is shown: while on, it is run and watched instead.
    void ProjectChanged();

  private:
    void RunNow();
    void Touched();
    void Quiet();

    std::function<RunInputs()> run_;
    std::function<bool()> busy_;
    std::function<const CTplFileList&()> files_;
    std::unique_ptr<CFolderWatch> watch_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer quiet_;
    RunInputs inputs_;
    CFolderWatch::Touched touched_;
    bool on_ = false;
    bool due_ = false;  // the next quiet moment runs without looking
};

}  // namespace pellandrix::ui
