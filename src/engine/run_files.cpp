#include "engine/run_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include "support/text_file.h"

namespace pellandrix {

namespace {

// How long before a hashing a file must have last changed for its stamp to
// stand for its content: longer than the coarsest time stamps (FAT's two
// seconds) and the kernel's clock tick.
constexpr std::int64_t kSettledNs = 2'000'000'000;

}  // namespace

CRunFiles::CRunFiles(const RunRecord::KnownHashMap& known, bool dryRun,
                     const IUnchangedPaths* unchanged, RunFindings last)
    : known_(known), dryRun_(dryRun), unchanged_(unchanged), last_(std::move(last)) {}

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
    return See(Key(path)).hash;
}

PathSight& CRunFiles::See(const std::string& path) {
    const auto seen = seen_.find(path);
    if (seen != seen_.end()) {
        return seen->second;
    }
    return seen_[path] = Look(path);
}

// One lstat tells both what kind of file is there and, for a plain file,
// its stamp; only a link needs a second look, at what it leads to.
PathSight CRunFiles::Look(const std::string& path) {
    if (const PathSight* vouched = Vouched(path)) {
        if (Known(path) != nullptr) {
            used_.insert(path);
        }
        return *vouched;
    }
    PathSight sight;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        return sight;
    }
    sight.present = true;
    sight.own = S_ISREG(st.st_mode) && st.st_nlink == 1;
    if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0) {
        return sight;
    }
    if (S_ISREG(st.st_mode)) {
        sight.hash = HashOf(path, StampOf(st));
        sight.steady = sight.hash && Known(path) != nullptr;
    }
    return sight;
}

const PathSight* CRunFiles::Vouched(const std::string& path) const {
    if (unchanged_ == nullptr) {
        return nullptr;
    }
    const auto last = last_.sights.find(path);
    if (last == last_.sights.end() || changed_.count(path) != 0 || !unchanged_->Unchanged(path)) {
        return nullptr;
    }
    return &last->second;
}

std::optional<ContentHash> CRunFiles::HashOf(const std::string& path, const FileStamp& stamp) {
    const RunRecord::KnownHash* known = Known(path);
    if (known != nullptr && known->stamp == stamp &&
        stamp.changedNs < known->verifiedNs - kSettledNs) {
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

bool CRunFiles::OwnFile(const std::string& path) {
    return See(path).own;
}

bool CRunFiles::Readable(const std::string& path) {
    PathSight& sight = See(path);
    if (!sight.own) {
        return false;
    }
    if (!sight.readable) {
        sight.readable = !sight.present || ::access(path.c_str(), R_OK) == 0;
    }
    return *sight.readable;
}

bool CRunFiles::FoundWritable(const std::string& path) const {
    return last_.writable.count(path) != 0 && Vouched(path) != nullptr;
}

bool CRunFiles::FolderTakesFiles(const SFilePlace& place) {
    // Only a yes is kept: a folder that takes no files is asked again by
    // the writer's own check, as before.
    if (!place.folder) {
        return false;
    }
    if (takingFolders_.count(place.folder->id) != 0) {
        return true;
    }
    if (!CTextWriter::FolderTakesFiles(place)) {
        return false;
    }
    takingFolders_.insert(place.folder->id);
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
    if (onDisk) {
        changed_.insert(key);
    }
    seen_.erase(key);
}

void CRunFiles::NoteKept(const std::string& path, const ContentHash& hash, bool inPlace) {
    // The disk is as it was: what was seen there still stands.
    left_[Key(path)] = Left{hash, inPlace, {}};
}

void CRunFiles::NoteDeleted(const std::string& path) {
    left_[path] = Left{std::nullopt, !dryRun_, {}};
    if (!dryRun_) {
        changed_.insert(path);
    }
    seen_.erase(path);
}

const std::string* CRunFiles::DryText(const std::string& path) const {
    const auto left = left_.find(Key(path));
    return left != left_.end() && left->second.dryText ? &*left->second.dryText : nullptr;
}

RunRecord::KnownHashMap CRunFiles::TakeUsedHashes(RunRecord::KnownHashMap& known,
                                                  std::vector<std::string>* changed) {
    // What the run saw, and the paths it used, go as the next record's
    // hashes are made: at a run's end this is when memory peaks. Only a
    // watching caller keeps what the run saw, for the next run.
    if (unchanged_ == nullptr) {
        seen_ = {};
    }
    RunRecord::KnownHashMap kept;
    kept.reserve(used_.size());
    while (!used_.empty()) {
        const std::string path = std::move(used_.extract(used_.begin()).value());
        auto before = known.extract(path);
        if (auto learnt = learnt_.extract(path)) {
            if (changed != nullptr && (!before || !(before.mapped() == learnt.mapped()))) {
                changed->push_back(path);
            }
            kept.insert(std::move(learnt));
        } else if (before && forgotten_.count(path) == 0) {
            kept.insert(std::move(before));
        } else if (before) {
            known.insert(std::move(before));  // found unsafe: not kept
        }
    }
    return kept;
}

RunFindings CRunFiles::TakeFindings() {
    std::erase_if(seen_, [](const auto& seen) { return !seen.second.steady; });
    RunFindings found{std::move(seen_), std::move(writable_)};
    seen_.clear();
    writable_.clear();
    return found;
}

void CRunFiles::Restart() {
    // What was found unsafe is looked at again anyway: a file's stamp that
    // changed no longer matches the record's.
    forgotten_.clear();
    seen_.clear();
    used_.clear();
    left_.clear();
    writable_.clear();
    changed_.clear();
    unchanged_ = nullptr;
    last_ = {};
}

}  // namespace pellandrix
