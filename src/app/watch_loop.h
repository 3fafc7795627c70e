#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/generate_options.h"
#include "app/outcome.h"
#include "app/watch_inputs.h"
#include "app/watch_vouch.h"
#include "support/folder_watch.h"

namespace pellandrix {

class CMessageService;
class CProjectSession;

// What a watch loop drives: the program around it.
class IWatchHost {
  public:
    virtual ~IWatchHost() = default;
    // Does one run that takes from the record what did not change, and
    // returns what it read (GenerateOptions::changed and ::inputs).
    // `unchanged` is for the run's GenerateOptions::unchanged: the paths
    // the loop's events tell nothing touched since its previous run began.
    virtual RunInputs Run(const IUnchangedPaths& unchanged) = 0;
    // False while a run must not start (one goes on, a box waits for an
    // answer); a due run waits for it.
    virtual bool MayRun() { return true; }
    // Whether the database may hold other entries than were read last
    // (another process wrote it); the run's own writes do not count.
    virtual bool EntriesStale() { return false; }
    // Reads the current project and its entries again from the database,
    // where another process may have changed them.
    virtual void ReloadEntries() {}
    // That database file; empty when only this program changes the entries.
    virtual std::string DatabaseFile() const { return {}; }
};

// Automatic runs: one run at once, then one more whenever what the last run
// read has changed (its templates and included files by every name they
// have, the project's entries) and the change has been quiet for a moment,
// so that an editor's save in several writes counts once. Runs never
// overlap. Folders are watched with inotify; a folder that cannot be is
// looked at in intervals instead, and so is everything when asked to poll.
// Missing folders and failed watches are noticed once each through the
// message service.
//
// The loop never waits itself: the program calls Step when the descriptor
// is readable or the time Step asked for has passed, so that one loop
// serves a blocking command and a window's event loop alike.
class CWatchLoop {
  public:
    // How long what the runs read must be left alone before a run. Editors
    // that write a file in place or make it anew leave it half-saved
    // between their writes; replayed on a loaded machine
    // (bench/suite/save_patterns.py), those gaps stayed under 8 ms for
    // texts written whole but reached 100 ms for a 1 MB text written 4 KB
    // at a time, so a shorter period would run on half-saved files there.
    static constexpr int kQuietMs = 100;
    // The shortest interval of polling one may ask for.
    static constexpr double kMinPollSeconds = 0.1;
    // The interval of looking at a folder that cannot be watched.
    static constexpr int kFallbackPollMs = 1000;

    // Borrows all three, which must outlive the loop. `pollSeconds` (at
    // least kMinPollSeconds): look at every input in that interval instead
    // of watching.
    CWatchLoop(IWatchHost& host, const CProjectSession& session, CMessageService& messages,
               std::optional<double> pollSeconds = std::nullopt);
    ~CWatchLoop();
    CWatchLoop(const CWatchLoop&) = delete;
    CWatchLoop& operator=(const CWatchLoop&) = delete;

    // Refused (message 56, with the system's reason) when inotify cannot
    // start; Step must not be called then. Polling needs no inotify.
    Outcome Start() const;
    // To wait on for changes; -1 when polling.
    int Descriptor() const;
    // Takes what changed and runs when a run is due, the changes have been
    // quiet for kQuietMs and the host allows it: at most one run per call.
    // Returns after how many milliseconds to call again if the descriptor
    // stays quiet (-1: not before it is readable). Calling earlier is
    // harmless. Called again from within a run (a box's event loop), it only
    // takes what changed.
    int Step();
    // What the last run read no longer matters (another project): the next
    // step runs.
    void RunSoon();
    // Whether a change was seen and waits to be looked at.
    bool Waiting() const { return due_ || !touched_.Empty(); }

  private:
    using Clock = std::chrono::steady_clock;
    void Absorb(Clock::time_point now);
    CFolderWatch::Touched Drain();
    void Look();
    void RunNow();
    CFolderWatch::Touched ChangedDuring(const WatchTargets& during, CFolderWatch::Touched early);
    bool Rewatch(bool recompute);
    bool LinksMayHaveChanged(const CFolderWatch::Touched& touched) const;
    bool EntriesChanged(const CFolderWatch::Touched& touched);
    int NextWake(Clock::time_point now) const;

    IWatchHost& host_;
    const CProjectSession& session_;
    CMessageService& messages_;
    std::optional<int> pollMs_;
    std::unique_ptr<CFolderWatch> watch_;
    RunInputs inputs_;
    WatchTargets watched_;  // what Rewatch watches now
    CFolderWatch::Touched touched_;
    CWatchVouch vouch_;
    std::set<std::string> failed_;  // what could not be watched, looked at in intervals
    Clock::time_point lastChange_{};
    Clock::time_point nextPoll_{};
    bool due_ = true;  // the next look runs without comparing
    bool stepping_ = false;
};

}  // namespace pellandrix
