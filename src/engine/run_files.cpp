#include "engine/run_files.h"

namespace pellandrix {

namespace {

// How long before a hashing a file must have last changed for its stamp to
// stand for its content: longer than the coarsest time stamps (FAT's two
// seconds) and the kernel's clock tick.
constexpr std::int64_t kSettledNs = 2'000'000'000;

}  // namespace

CRunFiles::CRunFiles(const RunRecord::KnownHashMap& known, bool dryRun)
    : known_(known), dryRun_(dryRun) {}

const RunRecord::KnownHash* CRunFiles::Known(const std::string& path) const {
    const auto learnt = learnt_.find(path);
    if (learnt != learnt_.end()) {
        return &learnt->second;
    }
    const auto known = known_.find(path);
    return known != known_.end() && forgotten_.count(path) == 0 ? &known->second : nullptr;
}

const std::string& CRunFiles::Key(const std::string& path) const {
    if (links_.empty()) {
        return path;
    }
    // What the run put at the path itself, a file or nothing, is no link
    // any more.
    const auto link = links_.find(path);
    if (link == links_.end() || left_.count(path) != 0) {
        return path;
    }
    // Followed as a writer would follow it after what the run did so far:
    // to the first place on the way the run wrote (a file of its own now)
    // or deleted (the chain broken: the link is replaced), else as found.
    for (const std::string& hop : link->second.through) {
        const auto left = left_.find(hop);
        if (left != left_.end()) {
            return left->second.hash ? hop : path;
        }
    }
    return link->second.ends ? link->second.through.back() : path;
}

std::optional<ContentHash> CRunFiles::Current(const std::string& path) {
    const std::string& key = Key(path);
    const auto left = left_.find(key);
    if (left != left_.end()) {
        return left->second.hash;
    }
    return OnDisk(key);
}

std::optional<ContentHash> CRunFiles::OnDisk(const std::string& path) {
    const std::string& key = Key(path);
    const auto seen = seen_.find(key);
    if (seen != seen_.end()) {
        return seen->second;
    }
    return seen_[key] = Look(key);
}

std::optional<ContentHash> CRunFiles::Look(const std::string& path) {
    const std::optional<FileStamp> stamp = StampOfPath(path);
    if (!stamp) {
        return std::nullopt;
    }
    const RunRecord::KnownHash* known = Known(path);
    if (known != nullptr && known->stamp == *stamp &&
        stamp->changedNs < known->verifiedNs - kSettledNs) {
        used_.insert(path);
        return known->hash;
    }
    const std::int64_t startedNs = WallClockNs();
    return Remember(path, HashFile(path), startedNs);
}

std::optional<ContentHash> CRunFiles::Remember(const std::string& path,
                                               const std::optional<HashedFile>& read,
                                               std::int64_t startedNs) {
    if (!read) {
        return std::nullopt;
    }
    // A file that changed while it was read has a hash that stands for no
    // content on disk: used once, never kept.
    if (read->before == read->after) {
        learnt_[path] = {read->after, read->hash, startedNs};
        forgotten_.erase(path);
        used_.insert(path);
    } else {
        learnt_.erase(path);
        forgotten_.insert(path);
    }
    return read->hash;
}

bool CRunFiles::Settled(const std::string& path) {
    const auto left = left_.find(Key(path));
    if (left == left_.end() || left->second.onDisk) {
        return true;
    }
    if (OnDisk(left->first) != left->second.hash) {
        return false;
    }
    left->second.onDisk = true;
    return true;
}

void CRunFiles::NoteRead(const std::string& path, const HashedFile& read, std::int64_t startedNs) {
    // What the run itself wrote is not read from disk: its notion stands.
    const std::string& key = Key(path);
    if (left_.count(key) == 0) {
        Remember(key, read, startedNs);
    }
}

void CRunFiles::NoteWritten(const std::string& path, const ContentHash& hash, bool onDisk,
                            std::optional<std::string> dryText) {
    const std::string& key = Key(path);
    left_[key] = Left{hash, onDisk, std::move(dryText)};
    seen_.erase(key);
}

void CRunFiles::NoteDeleted(const std::string& path) {
    left_[path] = Left{std::nullopt, !dryRun_, {}};
    seen_.erase(path);
}

const std::string* CRunFiles::DryText(const std::string& path) const {
    const auto left = left_.find(Key(path));
    return left != left_.end() && left->second.dryText ? &*left->second.dryText : nullptr;
}

RunRecord::KnownHashMap CRunFiles::TakeUsedHashes() {
    // What the run saw, and the paths it used, go as the next record's
    // hashes are made: at a run's end this is when memory peaks.
    seen_ = {};
    RunRecord::KnownHashMap kept;
    kept.reserve(used_.size());
    while (!used_.empty()) {
        std::string path = std::move(used_.extract(used_.begin()).value());
        if (auto learnt = learnt_.extract(path)) {
            kept.insert(std::move(learnt));
        } else if (const RunRecord::KnownHash* known = Known(path)) {
            kept.emplace(std::move(path), *known);
        }
    }
    return kept;
}

void CRunFiles::Restart() {
    // What was found unsafe is looked at again anyway: a file's stamp that
    // changed no longer matches the record's.
    forgotten_.clear();
    seen_.clear();
    used_.clear();
    left_.clear();
}

}  // namespace pellandrix
