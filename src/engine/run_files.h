#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/unchanged_paths.h"
#include "store/run_record.h"
#include "support/content_hash.h"
#include "support/file_place.h"

namespace pellandrix {

// What one look at a path found, beyond its text by hash: enough to take a
// step from the record without looking again.
struct PathSight {
    std::optional<ContentHash> hash;  // none: no regular file that could be read
    bool present = false;             // anything at all there
    bool own = true;                  // nothing, or a plain file with a single name
    std::optional<bool> readable;     // asked only when wanted
    bool steady = true;               // the file held still while it was read
};

// What a run found at the paths it looked at and did not change itself,
// for the next run: a path a watching caller vouches for (IUnchangedPaths)
// is taken as this run found it.
struct RunFindings {
    std::unordered_map<std::string, PathSight> sights;
    // Paths a step taken from the record found it could write.
    std::unordered_set<std::string> writable;
};

// What the files a run deals with hold, by hash: on disk, and as the run
// has left them so far. A step taken from the record instead of being done
// writes nothing; the run then knows what the file would hold without the
// disk holding it (yet). A dry run writes nothing at all and keeps the text
// it would have written here.
//
// A file is known by the path of the file itself, not of a link to it (see
// Key): a page that is a link to another page is written and read through
// the link, so both paths name one file, whose text the run must know
// whichever path it takes. Deleting a path deletes a link itself, never
// what it leads to.
class CRunFiles {
  public:
    // `known` are the hashes the record knew; they must outlive this and
    // are never changed: the record keeps them to compare against. For a
    // path `unchanged` vouches for and the run has not changed itself,
    // what `last` (the findings of the run whose record this run starts
    // from) says is trusted without looking at the disk. `unchanged` is
    // borrowed.
    CRunFiles(const RunRecord::KnownHashMap& known, bool dryRun,
              const IUnchangedPaths* unchanged = nullptr, RunFindings last = {});

    bool DryRun() const { return dryRun_; }
    // What the caller vouches for (see the constructor); null when nothing.
    const IUnchangedPaths* Unchanged() const { return unchanged_; }

    // A link in the target folders as the run found it when it began: the
    // paths of the places it leads through (see LinkChain), the last no
    // link, and whether a file was there.
    struct Link {
        std::vector<std::string> through;
        bool ends = false;
    };
    // The links the run found, by their paths (see FindPageLinks).
    void SetLinks(std::unordered_map<std::string, Link> links) { links_ = std::move(links); }
    // The path the run knows the file at `path` by: where a link at `path`
    // leads now, as the run has left the places on the way (a link it
    // deleted breaks the chain; a file it wrote ends it), and `path` itself
    // when that is no file, as a writer then replaces the link.
    const std::string& Key(const std::string& path) const;
    // Whether the run wrote or deleted the file at `path`.
    bool Wrote(const std::string& path) const { return left_.count(Key(path)) != 0; }

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
    // Whether the disk holds nothing at `path` or a plain file of its own:
    // not a link, not one of several names of a file, not a folder or a
    // device. What is written or read there can then be told by path.
    // Looked at together with OnDisk, once until the run changes the path.
    bool OwnFile(const std::string& path);
    // OwnFile, and nothing there that this process may not read.
    bool Readable(const std::string& path);
    // Files a step taken from the record found it could write, for the
    // rest of the run. What the run itself writes there is a plain file of
    // its own, which leaves the answer as it was.
    bool KnownWritable(const std::string& path) const { return writable_.count(path) != 0; }
    void NoteWritable(const std::string& path) { writable_.insert(path); }
    // Whether the last run found it could write `path`, which is vouched
    // unchanged since (see the constructor).
    bool FoundWritable(const std::string& path) const;
    // Whether new files can be made in the folder of `place`
    // (CTextWriter::FolderTakesFiles), asked once per folder and run: a
    // step taken from the record writes nothing there, so a folder closed
    // to writing meanwhile changes nothing it does.
    bool FolderTakesFiles(const SFilePlace& place);

    // A file read whole by the run (see CTextReader::HashRead), reading
    // having begun at `startedNs`: remembered for later runs.
    void NoteRead(const std::string& path, const HashedFile& read, std::int64_t startedNs);
    // The run put `hash` at `path`: on disk, or only in its notion of it
    // (`onDisk` false: a step taken from the record, or a dry run, whose
    // text is `dryText`).
    void NoteWritten(const std::string& path, const ContentHash& hash, bool onDisk,
                     std::optional<std::string> dryText = std::nullopt);
    // A step taken from the record left `hash` at `path` without writing
    // anything; `inPlace`: the disk holds that text already.
    void NoteKept(const std::string& path, const ContentHash& hash, bool inPlace);
    // The run deleted `path`: a link there itself, not what it leads to.
    void NoteDeleted(const std::string& path);
    // A dry run's text for `path`, when it wrote one.
    const std::string* DryText(const std::string& path) const;

    // Files the run wrote, by Key, in its notion: what each holds (none:
    // deleted).
    struct Left {
        std::optional<ContentHash> hash;
        bool onDisk = false;
        std::optional<std::string> dryText;
    };
    const std::unordered_map<std::string, Left>& Written() const { return left_; }
    // The hashes worth keeping for the next run: those used in this one.
    // Called once, at the end, with the `known` given to the constructor,
    // which the run no longer reads then: those learnt in this run and the
    // used ones of `known` move into it, so that none is copied; what stays
    // in `known` is no longer worth keeping. `changed` gets the paths whose
    // hash the run learnt anew or differently. What the run saw is
    // forgotten unless a watching caller may ask for it (TakeFindings).
    RunRecord::KnownHashMap TakeUsedHashes(RunRecord::KnownHashMap& known,
                                           std::vector<std::string>* changed = nullptr);
    // What this run found, for the next (see the constructor); called at
    // the end: the run forgets what it found.
    RunFindings TakeFindings();
    // Starts over (see RunDiverged): the run's notion of the files is
    // forgotten, and so is the last run's findings: what the first attempt
    // wrote is on disk now, and a watching caller has not seen it yet. The
    // known hashes and those learnt so far stay.
    void Restart();

  private:
    // What is known of `path`: learnt in this run, or else the record's
    // unless this run found it unsafe; null when nothing is.
    const RunRecord::KnownHash* Known(const std::string& path) const;
    PathSight& See(const std::string& path);
    PathSight Look(const std::string& path);
    const PathSight* Vouched(const std::string& path) const;
    std::optional<ContentHash> HashOf(const std::string& path, const FileStamp& stamp);
    std::optional<ContentHash> Remember(const std::string& path,
                                        const std::optional<HashedFile>& read,
                                        std::int64_t startedNs);

    const RunRecord::KnownHashMap& known_;
    // Kept apart from known_, so that the record's hashes are never copied
    // (at 20,000 pages they take megabytes).
    RunRecord::KnownHashMap learnt_;
    std::unordered_set<std::string> forgotten_;
    // What a look found, for the rest of the run: a file the run did not
    // write is looked at once. Forgotten when the run writes the path.
    std::unordered_map<std::string, PathSight> seen_;
    std::unordered_set<std::string> used_;
    std::unordered_map<std::string, Left> left_;
    std::unordered_map<std::string, Link> links_;
    std::unordered_set<std::string> writable_;
    std::unordered_set<FileId, FileIdHash> takingFolders_;
    // Paths this run wrote or deleted on disk: nobody can vouch for them.
    std::unordered_set<std::string> changed_;
    bool dryRun_;
    const IUnchangedPaths* unchanged_;
    RunFindings last_;
};

}  // namespace pellandrix
