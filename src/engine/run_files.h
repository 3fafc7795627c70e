#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "store/run_record.h"
#include "support/content_hash.h"

namespace pellandrix {

// What the files a run deals with hold, by hash: on disk, and as the run
// has left them so far. A step taken from the record instead of being done
// writes nothing; the run then knows what the file would hold without the
// disk holding it (yet). A dry run writes nothing at all and keeps the text
// it would have written here.
class CRunFiles {
  public:
    // `known` are the hashes the record knew; they must outlive this and
    // are never changed: the record keeps them to compare against.
    CRunFiles(const RunRecord::KnownHashMap& known, bool dryRun);

    bool DryRun() const { return dryRun_; }

    // What `path` holds as this run has left it so far; none when there is
    // no file. Files the run has not written are read from disk (or their
    // known hash trusted, see OnDisk).
    std::optional<ContentHash> Current(const std::string& path);
    // What the disk holds at `path`. A known hash is trusted while the
    // file's stamp is the one it had when hashed and that stamp's change
    // time lay safely before the hashing began (a change within the same
    // clock tick could otherwise go unseen); otherwise the file is read.
    std::optional<ContentHash> OnDisk(const std::string& path);
    // True when the run's notion of `path` is on disk too (or the run has
    // not written it).
    bool Settled(const std::string& path);

    // A file read whole by the run (see CTextReader::HashRead), reading
    // having begun at `startedNs`: remembered for later runs.
    void NoteRead(const std::string& path, const HashedFile& read, std::int64_t startedNs);
    // The run put `hash` at `path`: on disk, or only in its notion of it
    // (`onDisk` false: a step taken from the record, or a dry run, whose
    // text is `dryText`).
    void NoteWritten(const std::string& path, const ContentHash& hash, bool onDisk,
                     std::optional<std::string> dryText = std::nullopt);
    void NoteDeleted(const std::string& path);
    // A dry run's text for `path`, when it wrote one.
    const std::string* DryText(const std::string& path) const;

    // Paths the run wrote, in its notion: what each holds (none: deleted).
    struct Left {
        std::optional<ContentHash> hash;
        bool onDisk = false;
        std::optional<std::string> dryText;
    };
    const std::unordered_map<std::string, Left>& Written() const { return left_; }
    // The hashes worth keeping for the next run: those used in this one.
    // Called once, at the end: those learnt in this run move into it, and
    // what OnDisk saw is forgotten.
    RunRecord::KnownHashMap TakeUsedHashes();
    // Starts over (see RunDiverged): the run's notion of the files is
    // forgotten; the known hashes and those learnt so far stay.
    void Restart();

  private:
    // What is known of `path`: learnt in this run, or else the record's
    // unless this run found it unsafe; null when nothing is.
    const RunRecord::KnownHash* Known(const std::string& path) const;
    std::optional<ContentHash> Look(const std::string& path);
    std::optional<ContentHash> Remember(const std::string& path,
                                        const std::optional<HashedFile>& read,
                                        std::int64_t startedNs);

    const RunRecord::KnownHashMap& known_;
    // Kept apart from known_, so that the record's hashes are never copied
    // (at 20,000 pages they take megabytes).
    RunRecord::KnownHashMap learnt_;
    std::unordered_set<std::string> forgotten_;
    // What OnDisk found, for the rest of the run: a file the run did not
    // write is looked at once. Forgotten when the run writes the path.
    std::unordered_map<std::string, std::optional<ContentHash>> seen_;
    std::unordered_set<std::string> used_;
    std::unordered_map<std::string, Left> left_;
    bool dryRun_;
};

}  // namespace pellandrix
