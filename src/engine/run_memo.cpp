#include "engine/run_memo.h"

#include <sys/stat.h>

#include <cerrno>

namespace pellandrix {

CRunMemo::CRunMemo(RunRecord record, std::string key, bool incremental, bool dryRun,
                   const IUnchangedPaths* unchanged, RunFindings last)
    : before_(std::move(record)),
      key_(std::move(key)),
      incremental_(incremental && !key_.empty() && before_.key == key_),
      files_(std::make_unique<CRunFiles>(before_.hashes, dryRun, unchanged, std::move(last))) {
    if (!incremental) {
        runReason_ = "vollständiger Lauf";
    } else if (before_.key.empty()) {
        runReason_ = "kein Stand vom letzten Lauf";
    } else if (!incremental_) {
        runReason_ = "Einstellungen geändert";
        keyChanged_ = true;
    }
}

const Trace* CRunMemo::Recorded(int fileId, int pass) {
    if (!incremental_) {
        return nullptr;
    }
    const auto found = before_.traces.find({fileId, pass});
    if (found == before_.traces.end()) {
        NoteReason(fileId, "Vorlage neu");
        return nullptr;
    }
    decoded_ = DecodeTrace(found->second);
    decodedStep_ = found->first;
    if (!decoded_) {
        NoteReason(fileId, "Vorlage neu");
        return nullptr;
    }
    if (!decoded_->clean) {
        NoteReason(fileId, "Meldungen beim letzten Lauf");
        return nullptr;
    }
    return &*decoded_;
}

void CRunMemo::SetStep(int fileId, int pass) {
    step_ = {fileId, pass};
}

void CRunMemo::BeginStep(int fileId, int pass) {
    step_ = {fileId, pass};
    current_ = Trace{};
    recording_ = true;
}

void CRunMemo::EndStep(bool clean) {
    current_.clean = clean;
    std::string bytes = EncodeTrace(current_);
    // A step done again mostly finds what it found last time (a full run
    // over unchanged files): the last run's bytes then serve both records.
    const auto old = before_.traces.find(step_);
    if (old != before_.traces.end() && old->second.str() == bytes) {
        traces_[step_] = old->second;
    } else {
        traces_[step_] = std::move(bytes);
    }
    recording_ = false;
    Gather(current_);
}

void CRunMemo::KeepStep(int fileId, int pass) {
    step_ = {fileId, pass};
    const auto found = before_.traces.find(step_);
    if (found != before_.traces.end()) {
        traces_[step_] = found->second;
        if (decoded_ && decodedStep_ == step_) {
            Gather(*decoded_);
        }
    }
}

void CRunMemo::Gather(const Trace& trace) {
    if (!gathering_) {
        return;
    }
    for (const TraceStep& s : trace.steps) {
        if (s.op == TraceOp::Frame || s.op == TraceOp::Plain || s.op == TraceOp::Verbatim) {
            const auto [at, added] = reads_.emplace(s.path, Read{s.hash, false});
            at->second.differed = at->second.differed || (!added && at->second.hash != s.hash);
        }
    }
}

void CRunMemo::NoteReason(int fileId, std::string reason) {
    reasons_.emplace(fileId, std::move(reason));
}

void CRunMemo::ExplainKeyChange(std::string change) {
    if (keyChanged_ && !change.empty()) {
        runReason_ = std::move(change);
    }
}

std::string CRunMemo::ReasonFor(int fileId) const {
    const auto found = reasons_.find(fileId);
    return found != reasons_.end() ? found->second : runReason_;
}

std::optional<std::pair<int, int>> CRunMemo::WriterOf(const std::string& path) const {
    const auto found = writers_.find(path);
    if (found == writers_.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool CRunMemo::WroteLast(const std::string& path, int fileId, int pass) const {
    const auto found = before_.outputs.find(path);
    return found != before_.outputs.end() && found->second.fileId == fileId &&
           found->second.pass == pass;
}

RunRecord CRunMemo::After(RunRecordChanges& changes) {
    RunRecord after;
    after.key = key_;
    changes.key = before_.key != key_;
    after.outputs = std::move(before_.outputs);
    SettleOutputs(after.outputs, changes);
    // Nothing asks for the writers any more; gone before the hashes are
    // made, they keep the run's peak lower.
    writers_ = {};
    after.hashes = files_->TakeUsedHashes(before_.hashes, &changes.hashes);
    for (const auto& [path, known] : before_.hashes) {
        changes.hashesGone.push_back(path);
    }
    before_.hashes = {};
    // Both ordered by step: one walk finds what changed.
    auto old = before_.traces.begin();
    for (const auto& [step, trace] : traces_) {
        for (; old != before_.traces.end() && old->first < step; ++old) {
            changes.tracesGone.push_back(old->first);
        }
        const bool same = old != before_.traces.end() && old->first == step && old->second == trace;
        if (!same) {
            changes.traces.push_back(step);
        }
        if (old != before_.traces.end() && old->first == step) {
            ++old;
        }
    }
    for (; old != before_.traces.end(); ++old) {
        changes.tracesGone.push_back(old->first);
    }
    before_.traces = {};
    after.traces = std::move(traces_);
    traces_.clear();
    return after;
}

// The files this run wrote or deleted change their rows in `outputs`.
void CRunMemo::SettleOutputs(RunRecord::OutputMap& outputs, RunRecordChanges& changes) {
    for (const auto& [path, left] : files_->Written()) {
        const auto writer = writers_.find(path);
        const auto row = outputs.find(path);
        if (left.hash && writer != writers_.end()) {
            const RunRecord::Output now{*left.hash, writer->second.first, writer->second.second};
            if (row == outputs.end() || !(row->second == now)) {
                outputs.insert_or_assign(path, now);
                changes.outputs.push_back(path);
            }
        } else if (row != outputs.end()) {
            outputs.erase(row);
            changes.outputsGone.push_back(path);
        }
    }
    // A file that is gone, and that no step of this run wrote or keeps,
    // is nothing a later run or check could rely on: its row would stay
    // for ever.
    for (auto it = outputs.begin(); it != outputs.end();) {
        const bool kept = files_->Written().count(it->first) != 0 ||
                          traces_.count({it->second.fileId, it->second.pass}) != 0;
        struct stat st;
        if (!kept && ::lstat(it->first.c_str(), &st) != 0 && errno == ENOENT) {
            changes.outputsGone.push_back(it->first);
            it = outputs.erase(it);
        } else {
            ++it;
        }
    }
}

void CRunMemo::StartOver() {
    files_->Restart();
    incremental_ = false;
    runReason_ = "vollständiger Lauf nötig";
    keyChanged_ = false;
    traces_.clear();
    reasons_.clear();
    writers_.clear();
    reads_.clear();
    recording_ = false;
}

}  // namespace pellandrix
