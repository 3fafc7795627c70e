#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/unchanged_paths.h"
#include "support/folder_watch.h"

namespace pellandrix {

// What a watch loop can tell the run it starts from its inotify events: the
// paths nothing touched since the previous run began. It vouches for a path
// only when
// - the path's folder, as spelled in the path, has been watched under that
//   spelling without a break since before the previous run began, and is
//   still the folder it was then (a folder on the way swapped for a link
//   to another one sends no event);
// - no event since the previous run began named the path (events during
//   that run count: the run may have read the path before them);
// - the path was found to be a plain file with no other name, or missing,
//   and no event named it since: a symbolic link or a file with a hard
//   link elsewhere can change where no watched folder sees it;
// - no events were lost meanwhile, no folder failed to be watched, the
//   loop is not polling, and the run starts from the record its previous
//   run saved.
// The first run of a loop vouches for nothing.
class CWatchVouch final : public IUnchangedPaths {
  public:
    // Events drained from the watch, in the order they came.
    void Note(const CFolderWatch::Touched& touched);
    // After each call of CFolderWatch::Watch: which of `folders` `watch`
    // watches as spelled now, and which of them anew (`added`).
    void Watched(const CFolderWatch& watch, const std::set<std::string>& folders,
                 const std::vector<std::string>& added);
    // Whether something is not watched by inotify now (polling, a failed
    // watch): no run vouches while it is, nor the run after it.
    void SetBlind(bool blind) {
        blind_ = blind;
        blindSinceBegun_ = blindSinceBegun_ || blind;
    }
    // A run begins: from now until End, Unchanged answers for it. Events
    // must have been drained (and noted) right before. `recordKept`: the run
    // starts from the record the previous run (or a later one) saved; one
    // read back from the database may be older than what the events cover.
    void Begin(bool recordKept);
    // The run has ended; events noted during it have been noted.
    void End();
    // Looks at each of `paths` not known yet (one lstat each), so that a
    // later run may be vouched for it: call between runs with what the last
    // run read and wrote.
    template <typename Paths>
    void Learn(const Paths& paths) {
        if (blind_) {
            return;  // nothing will be vouched for while blind: save the look
        }
        for (const auto& path : paths) {
            LearnOne(PathOf(path));
        }
    }
    // Whether `path` was found plain (or missing) and untouched since.
    bool KnownPlain(const std::string& path) const;

    bool Unchanged(const std::string& path) const override;

  private:
    static const std::string& PathOf(const std::string& path) { return path; }
    template <typename Value>
    static const std::string& PathOf(const std::pair<const std::string, Value>& entry) {
        return entry.first;
    }
    void LearnOne(const std::string& path);
    void Forget(const CFolderWatch::Touched& touched);

    // A folder watched without a break: since which run, and which folder.
    struct Since {
        int runs = 0;  // runs begun when its watch began
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t serial = 0;  // which watch of it
    };
    std::map<std::string, Since, std::less<>> since_;
    std::uint64_t serial_ = 0;
    // Whether a path is a plain file with one name (or missing), as found
    // while its folder was watched (that watch's serial) and untouched since:
    // what was found before a watch began may have changed unseen.
    struct Known {
        bool plain = false;
        std::uint64_t serial = 0;
    };
    std::unordered_map<std::string, Known> plain_;
    CFolderWatch::Touched sinceBegun_;  // since the last run began
    bool blind_ = false;
    bool blindSinceBegun_ = false;

    // For the run going on.
    bool running_ = false;
    bool trusted_ = false;
    std::map<std::string, std::uint64_t, std::less<>> steady_;  // folder to its watch's serial
    CFolderWatch::Touched window_;                              // since the previous run began
    std::set<std::string, std::less<>> touchedNames_;
    int runs_ = 0;  // runs begun
};

}  // namespace pellandrix
