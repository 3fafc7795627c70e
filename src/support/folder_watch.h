#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace pellandrix {

// Watches folders with Linux's inotify: one descriptor however many
// folders, so that large trees need no descriptor per file. A folder is
// watched rather than its files, so that a file replaced by renaming a new
// one over it, deleted and made again, or made for the first time is seen
// like one written in place.
class CFolderWatch {
  public:
    CFolderWatch();
    ~CFolderWatch();
    CFolderWatch(const CFolderWatch&) = delete;
    CFolderWatch& operator=(const CFolderWatch&) = delete;

    // False when inotify could not be started (its limit of instances).
    bool Ok() const { return fd_ >= 0; }
    // Readable when events wait; for poll() and socket notifiers.
    int Descriptor() const { return fd_; }

    // Watches exactly `folders` from now on. A folder that does not exist
    // is watched through the nearest one above it that does, so that its
    // coming back is seen. Returns the folders that are missing now and were
    // not missing at the last call (each is to be reported once), and in
    // `failed` those that could not be watched at all (inotify's limit of
    // watches, no permission). `cameBack` tells whether a folder missing at
    // the last call exists again (what was made in it before this call was
    // not seen).
    std::vector<std::string> WatchFolders(const std::set<std::string>& folders,
                                          std::vector<std::string>* failed = nullptr,
                                          bool* cameBack = nullptr);

    // What the events waiting now touched, without waiting for more.
    struct Touched {
        std::set<std::string> paths;  // "<folder>/<name>" of each event
        bool everything = false;      // events were lost, or a folder went
    };
    Touched Drain();

  private:
    int fd_ = -1;
    std::map<int, std::string> byWatch_;  // watch descriptor to folder
    std::map<std::string, int> byFolder_;
    std::set<std::string> missing_;
};

}  // namespace pellandrix
