#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "support/content_hash.h"
#include "support/file_place.h"

namespace pellandrix {

// The generated files of included templates that a full run writes again
// and again (a header every page includes, with that page's names), and the
// newest text of each that the run holds instead of writing it. Nothing
// reads such a text on disk before the next one replaces it, unless the run
// reads the file itself (an include of the generated file, a template that
// turns out to be it), and the run's last text for it is written anyway:
// holding it, and writing it once when something may read the file or the
// run ends, leaves what writing every text would leave, without a dozen
// system calls per include.
//
// Only a file that one text has really been put in place at during the run
// is held for, so that the checks of writing it (the guard, a write-protected
// or missing file, a folder closed to writing) have been made and passed, and
// only texts no longer than the longest put there, so that a file size limit
// that would cut a longer text short is met as it happens. Files are known by
// their place (SFilePlace::Key), so that every spelling of a path and every
// link to the file meet one entry.
class CHeldTexts {
  public:
    // A file the run has put a text in place at.
    struct Known {
        SFilePlace place;
        std::string path;                    // as first written, for a message
        mode_t mode = 0;                     // the mode its new files get
        std::size_t largest;                 // the longest text put in place there
        std::optional<ContentHash> hash;     // of the text the run last left there
        std::optional<std::string> pending;  // held, not on disk yet
    };

    // The file `path` led to when it was written in this run; null when the
    // run has not put a text in place there by that path.
    Known* Find(const std::string& path);

    // Notes that `size` bytes hashed as `hash` were put in place at
    // `place`, by way of `path`, as a new file of mode `mode` would get.
    // A text held for the place is void then. `learn`: note the place when
    // it is not known yet (an included template's file); otherwise only a
    // known place is updated.
    void NotePlaced(const std::string& path, const SFilePlace& place, mode_t mode, std::size_t size,
                    const ContentHash& hash, bool learn);

    // Notes that a text the run does not hold in memory was put in place
    // at `place`: a text held for it is void then.
    void NoteReplaced(const SFilePlace& place);

    // Holds `text`, hashed as `hash`, for `known`, no longer than its
    // largest. Returns whether it differs from what the run last left there.
    bool Hold(Known& known, std::string text, const ContentHash& hash);

    // The bytes of every text held.
    std::size_t PendingBytes() const { return pendingBytes_; }
    bool AnyPending() const { return pendingCount_ != 0; }

    // Forgets the text held for `place`, whose file is being deleted.
    void Drop(const SFilePlace& place);

    // Hands every text held to `write`, with its file, and holds none after.
    void TakePending(const std::function<void(Known&, std::string)>& write);

    // Forgets everything.
    void Clear();

  private:
    void Release(Known& known);

    std::unordered_map<std::string, Known> places_;  // by SFilePlace::Key
    std::unordered_map<std::string, Known*> paths_;  // the same, by path
    std::size_t pendingBytes_ = 0;
    std::size_t pendingCount_ = 0;
};

}  // namespace pellandrix
