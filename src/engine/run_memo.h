#pragma once

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/run_files.h"
#include "engine/run_trace.h"
#include "store/run_record.h"

namespace pellandrix {

// Thrown when a step that must really be done would read a file whose text
// this run knows only by hash (a step before it was taken from the record,
// and the disk holds something else). The run then starts over and does
// every step.
struct RunDiverged {};

// An incremental run's memory: the record of the last run it may take steps
// from, the traces of the steps this run does, and why it did them.
class CRunMemo {
  public:
    // `record` as loaded; `key` the settings this run depends on as a
    // whole. `incremental` false: every step is done (a full run), but the
    // record is still kept up to date. `dryRun`: nothing is written.
    // `unchanged` and `last`: see CRunFiles.
    CRunMemo(RunRecord record, std::string key, bool incremental, bool dryRun,
             const IUnchangedPaths* unchanged = nullptr, RunFindings last = {});
    // Its files refer to the record's hashes: it stays where it was made.
    CRunMemo(const CRunMemo&) = delete;
    CRunMemo& operator=(const CRunMemo&) = delete;

    CRunFiles& Files() { return *files_; }
    bool Incremental() const { return incremental_; }
    bool DryRun() const { return files_->DryRun(); }

    // The trace of generating entry `fileId` in `pass` the last time, when
    // this run may take it; none otherwise (the reason is noted).
    const Trace* Recorded(int fileId, int pass);

    // The step about to be taken from the record or done.
    void SetStep(int fileId, int pass);
    std::pair<int, int> Step() const { return step_; }
    // Recording a step that is being done. Between BeginStep and EndStep,
    // Recording() is the trace being built; otherwise null.
    void BeginStep(int fileId, int pass);
    Trace* Recording() { return recording_ ? &current_ : nullptr; }
    void EndStep(bool clean);
    // A step taken from the record keeps its trace.
    void KeepStep(int fileId, int pass);
    // The step now being done or taken writes `path`.
    void NoteWriter(const std::string& path) { writers_[files_->Key(path)] = step_; }

    // Why entry `fileId` was generated (the first reason noted wins); for
    // an entry without one, why the run took no step from the record.
    void NoteReason(int fileId, std::string reason);
    // Names what changed in the key (see the constructor) as the reason of
    // an incremental run that cannot trust the record for it; ignored for
    // any other run or an empty text.
    void ExplainKeyChange(std::string change);
    std::string ReasonFor(int fileId) const;
    // The step that wrote `path` last in this run; none when no step did.
    std::optional<std::pair<int, int>> WriterOf(const std::string& path) const;
    // Whether the record had a step writing `path` last, `fileId`'s in `pass`.
    bool WroteLast(const std::string& path, int fileId, int pass) const;

    // Everything this run learnt, for the next run: what the record of the
    // last run must become. The files the record had are kept, but for
    // those that no longer exist and that no step of this run wrote or
    // took from the record. Called once, at the end: the record of the last
    // run becomes it in place, and this run's traces move into it
    // (Traces() is empty after), so that nothing is held twice; `changes`
    // gets the rows that differ from the record of the last run. WriterOf
    // and WroteLast know nothing after.
    RunRecord After(RunRecordChanges& changes);
    // What this run found at the paths it looked at, for the next run of a
    // watching caller (see CRunFiles); called once, at the end.
    RunFindings TakeFindings() { return files_->TakeFindings(); }
    // The traces of this run's steps, encoded.
    const RunRecord::TraceMap& Traces() const { return traces_; }

    // What the steps of this run read (their templates and the files they
    // copied in), gathered as each step is done or taken once asked to:
    // for watching, without decoding the traces again.
    struct Read {
        std::optional<ContentHash> hash;  // as the first step read it; none: missing
        bool differed = false;            // a later step read another text
    };
    void GatherReads() { gathering_ = true; }
    const std::map<std::string, Read>& Reads() const { return reads_; }

    // Starts over for a full run (see RunDiverged): steps, reasons, the
    // run's notion of the files and the last run's findings are forgotten;
    // known hashes stay.
    void StartOver();

  private:
    RunRecord before_;
    std::string key_;
    bool incremental_;
    std::unique_ptr<CRunFiles> files_;
    RunRecord::TraceMap traces_;
    std::unordered_map<int, std::string> reasons_;
    std::unordered_map<std::string, std::pair<int, int>> writers_;
    std::pair<int, int> step_{0, 0};
    bool recording_ = false;
    std::string runReason_;
    bool keyChanged_ = false;  // runReason_ is the key's
    Trace current_;
    std::optional<Trace> decoded_;
    std::pair<int, int> decodedStep_{0, 0};
    bool gathering_ = false;
    std::map<std::string, Read> reads_;

    void Gather(const Trace& trace);
    void SettleOutputs(RunRecord::OutputMap& outputs, RunRecordChanges& changes);
};

}  // namespace pellandrix
