#include "app/watch_loop.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "app/project_session.h"
#include "app/watch_inputs.h"

namespace pellandrix {

namespace {

using std::chrono::milliseconds;

int MillisecondsUntil(std::chrono::steady_clock::time_point then,
                      std::chrono::steady_clock::time_point now) {
    if (then <= now) {
        return 0;
    }
    // Rounded up: woken a little early, the loop would only ask again.
    const auto left = std::chrono::ceil<milliseconds>(then - now);
    return static_cast<int>(left.count());
}

}  // namespace

CWatchLoop::CWatchLoop(IWatchHost& host, const CProjectSession& session, CMessageService& messages,
                       std::optional<double> pollSeconds)
    : host_(host), session_(session), messages_(messages) {
    if (pollSeconds) {
        pollMs_ = static_cast<int>(std::lround(std::max(*pollSeconds, kMinPollSeconds) * 1000));
        vouch_.SetBlind(true);
    } else {
        watch_ = std::make_unique<CFolderWatch>();
    }
}

CWatchLoop::~CWatchLoop() = default;

Outcome CWatchLoop::Start() const {
    if (watch_ != nullptr && !watch_->Ok()) {
        return Outcome::Refuse(MessageId::kWatchUnavailable, watch_->Error());
    }
    return {};
}

int CWatchLoop::Descriptor() const {
    return watch_ != nullptr ? watch_->Descriptor() : -1;
}

void CWatchLoop::RunSoon() {
    inputs_ = {};
    due_ = true;
    // Another project's record may be older than anything the events cover.
    CFolderWatch::Touched lost;
    lost.everything = true;
    vouch_.Note(lost);
}

int CWatchLoop::Step() {
    Absorb(Clock::now());
    if (stepping_) {
        return kQuietMs;
    }
    if (Waiting()) {
        const Clock::time_point now = Clock::now();
        if (now - lastChange_ < milliseconds(kQuietMs)) {
            return NextWake(now);
        }
        if (!host_.MayRun()) {
            return kQuietMs;
        }
        struct Stepping {
            bool& on;
            explicit Stepping(bool& flag) : on(flag) { on = true; }
            ~Stepping() { on = false; }
        } stepping(stepping_);
        Look();
    }
    return NextWake(Clock::now());
}

void CWatchLoop::Absorb(Clock::time_point now) {
    if (watch_ != nullptr) {
        const CFolderWatch::Touched more = Drain();
        if (!more.Empty()) {
            touched_.Add(more);
            lastChange_ = now;
        }
    }
    // What is polled is looked at when its time comes, without a quiet
    // period: no event tells when writing it began.
    if ((pollMs_ || !failed_.empty()) && now >= nextPoll_) {
        if (pollMs_) {
            touched_.everything = true;
        } else {
            touched_.folders.insert(failed_.begin(), failed_.end());
        }
        nextPoll_ = now + milliseconds(pollMs_.value_or(kFallbackPollMs));
    }
}

CFolderWatch::Touched CWatchLoop::Drain() {
    CFolderWatch::Touched touched = watch_->Drain();
    vouch_.Note(touched);
    return touched;
}

void CWatchLoop::Look() {
    const bool cameBack = Rewatch(due_ || LinksMayHaveChanged(touched_));
    CFolderWatch::Touched touched = std::exchange(touched_, {});
    touched.everything = touched.everything || cameBack;
    const bool due = std::exchange(due_, false);
    // The entries first: a changed list is read again before the run.
    const bool entries = EntriesChanged(touched);
    if (!due && !entries && !InputsChanged(inputs_, touched, watched_.links)) {
        return;
    }
    // Reading the entries again may have found the project gone.
    if (!host_.MayRun()) {
        due_ = true;
        return;
    }
    RunNow();
}

void CWatchLoop::RunNow() {
    const WatchTargets during = watched_;
    // What came since the look: the run reads it as it is now, and the
    // vouch must know of it before the run begins.
    CFolderWatch::Touched early;
    if (watch_ != nullptr) {
        early = Drain();
    }
    vouch_.Begin(session_.KeepsRecord());
    inputs_ = host_.Run(vouch_);
    vouch_.End();
    const CFolderWatch::Touched meanwhile = ChangedDuring(during, std::move(early));
    vouch_.Learn(inputs_.files);
    vouch_.Learn(inputs_.outputs);
    if (inputs_.changedDuringRun) {
        due_ = true;
        lastChange_ = Clock::now();
    } else if (EntriesChanged(meanwhile) || InputsChanged(inputs_, meanwhile, watched_.links)) {
        touched_.everything = true;
        lastChange_ = Clock::now();
    }
}

// What may have changed while the run read it: what the events of the
// folders watched then tell, and everything in what was not watched then
// (a folder the run read first, one that could not be watched), where no
// event tells. Looking at only that keeps a run's cost to what it touched.
CFolderWatch::Touched CWatchLoop::ChangedDuring(const WatchTargets& during,
                                                CFolderWatch::Touched early) {
    CFolderWatch::Touched meanwhile = std::move(early);
    if (watch_ == nullptr) {
        meanwhile.everything = true;
        return meanwhile;
    }
    meanwhile.Add(Drain());
    meanwhile.everything = meanwhile.everything || Rewatch(true);
    meanwhile.Add(Drain());
    for (const std::string& folder : watched_.folders) {
        if (during.folders.count(folder) == 0 || failed_.count(folder) != 0) {
            meanwhile.folders.insert(folder);
        }
    }
    for (const std::string& file : watched_.files) {
        if (during.files.count(file) == 0) {
            meanwhile.paths.insert(file);
        }
    }
    return meanwhile;
}

// Watches what the last run read; notices each folder that went missing
// and each that cannot be watched, once. True when a missing one came back.
// `recompute`: finds what to watch again (a lstat per input) rather than
// taking what was found after the last run.
bool CWatchLoop::Rewatch(bool recompute) {
    if (watch_ == nullptr) {
        return false;
    }
    if (recompute) {
        watched_ = WhatToWatch(inputs_, session_.Files(), host_.DatabaseFile(),
                               [this](const std::string& path) { return vouch_.KnownPlain(path); });
    }
    const CFolderWatch::Result result = watch_->Watch(watched_.folders, watched_.files);
    vouch_.Watched(*watch_, watched_.folders, result.added);
    if (result.cameBack) {
        CFolderWatch::Touched lost;
        lost.everything = true;
        vouch_.Note(lost);
    }
    for (const std::string& folder : result.missing) {
        messages_.ShowNotice(MessageId::kWatchFolderMissing, folder);
    }
    std::set<std::string> failed;
    for (const auto& [path, reason] : result.failed) {
        failed.insert(path);
        if (failed_.count(path) == 0) {
            messages_.ShowNotice(MessageId::kWatchFailed, path, reason);
        }
    }
    if (failed_.empty() && !failed.empty()) {
        nextPoll_ = Clock::now() + milliseconds(kFallbackPollMs);
    }
    failed_ = std::move(failed);
    vouch_.SetBlind(!failed_.empty());
    return result.cameBack;
}

// What to watch changes between runs only where a name became a link or
// a second name of a file, or a link changed, or a folder went or came;
// with nothing of that touched, the targets found after the run stand.
bool CWatchLoop::LinksMayHaveChanged(const CFolderWatch::Touched& touched) const {
    if (touched.everything || !touched.folders.empty()) {
        return true;
    }
    for (const std::string& path : touched.paths) {
        struct stat st;
        if (watched_.links.count(path) != 0 ||
            (::lstat(path.c_str(), &st) == 0 && (S_ISLNK(st.st_mode) || st.st_nlink > 1))) {
            return true;
        }
    }
    for (const auto& [path, chain] : watched_.links) {
        for (const std::string& link : chain) {
            if (touched.paths.count(link) != 0) {
                return true;
            }
        }
    }
    return false;
}

bool CWatchLoop::EntriesChanged(const CFolderWatch::Touched& touched) {
    if (!DatabaseTouched(host_.DatabaseFile(), touched) || !host_.EntriesStale()) {
        return false;
    }
    // Only reading them again changes the entries between runs: until then
    // they are those the last run took (or a run is due anyway).
    const std::string before = EntriesKey(session_.Current(), session_.Files());
    host_.ReloadEntries();
    return EntriesKey(session_.Current(), session_.Files()) != before;
}

int CWatchLoop::NextWake(Clock::time_point now) const {
    int wake = -1;
    if (Waiting()) {
        wake = MillisecondsUntil(lastChange_ + milliseconds(kQuietMs), now);
    }
    if (pollMs_ || !failed_.empty()) {
        const int poll = MillisecondsUntil(nextPoll_, now);
        wake = wake < 0 ? poll : std::min(wake, poll);
    }
    return wake;
}

}  // namespace pellandrix
