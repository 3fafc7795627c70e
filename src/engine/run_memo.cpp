#include "engine/run_memo.h"

#include <sys/stat.h>

#include <cerrno>

namespace pellandrix {

CRunMemo::CRunMemo(RunRecord record, std::string key, bool incremental, bool dryRun)
    : before_(std::move(record)),
      key_(std::move(key)),
      incremental_(incremental && !key_.empty() && before_.key == key_),
      files_(std::make_unique<CRunFiles>(before_.hashes, dryRun)) {
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
}

void CRunMemo::KeepStep(int fileId, int pass) {
    step_ = {fileId, pass};
    const auto found = before_.traces.find(step_);
    if (found != before_.traces.end()) {
        traces_[step_] = found->second;
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

RunRecord CRunMemo::After() {
    RunRecord after;
    after.key = key_;
    after.outputs = before_.outputs;
    for (const auto& [path, left] : files_->Written()) {
        const auto writer = writers_.find(path);
        if (left.hash && writer != writers_.end()) {
            after.outputs[path] = {*left.hash, writer->second.first, writer->second.second};
        } else {
            after.outputs.erase(path);
        }
    }
    // A file that is gone, and that no step of this run wrote or keeps,
    // is nothing a later run or check could rely on: its row would stay
    // for ever.
    for (auto it = after.outputs.begin(); it != after.outputs.end();) {
        const bool kept = files_->Written().count(it->first) != 0 ||
                          traces_.count({it->second.fileId, it->second.pass}) != 0;
        struct stat st;
        if (!kept && ::lstat(it->first.c_str(), &st) != 0 && errno == ENOENT) {
            it = after.outputs.erase(it);
        } else {
            ++it;
        }
    }
    // Nothing asks for the writers any more; gone before the hashes are
    // made, they keep the run's peak lower.
    writers_ = {};
    after.hashes = files_->TakeUsedHashes();
    after.traces = std::move(traces_);
    traces_.clear();
    return after;
}

void CRunMemo::StartOver() {
    files_->Restart();
    incremental_ = false;
    runReason_ = "vollständiger Lauf nötig";
    keyChanged_ = false;
    traces_.clear();
    reasons_.clear();
    writers_.clear();
    writable_.clear();
    recording_ = false;
}

}  // namespace pellandrix
