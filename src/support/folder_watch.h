#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace pellandrix {

// Watches folders (and a few files) with Linux's inotify: one descriptor
// however many folders, so that large trees need no descriptor per file. A
// folder is watched rather than its files, so that a file replaced by
// renaming a new one over it, deleted and made again, or made for the first
// time is seen like one written in place.
class CFolderWatch {
  public:
    CFolderWatch();
    ~CFolderWatch();
    CFolderWatch(const CFolderWatch&) = delete;
    CFolderWatch& operator=(const CFolderWatch&) = delete;

    // False when inotify could not be started (its limit of instances, or
    // of descriptors); Error() then tells why.
    bool Ok() const { return fd_ >= 0; }
    const std::string& Error() const { return error_; }
    // Readable when events wait; for poll() and socket notifiers.
    int Descriptor() const { return fd_; }

    struct Result {
        // Folders that are missing now and were not missing at the last
        // call (each is to be reported once).
        std::vector<std::string> missing;
        // What could not be watched (inotify's limit of watches, no
        // permission), with the system's reason; nothing is seen there.
        std::vector<std::pair<std::string, std::string>> failed;
        // A folder missing at the last call exists again (what was made in
        // it before this call was not seen).
        bool cameBack = false;
        // What is watched from this call on, anew (a new watch, or one the
        // kernel had dropped): events before it were not seen.
        std::vector<std::string> added;
    };
    // Watches exactly `folders` and `files` from now on. A folder that does
    // not exist is watched through the nearest one above it that does, so
    // that its coming back is seen. A file is watched for what is written
    // into it under any of its names (a hard link elsewhere); one that does
    // not exist is left out.
    Result Watch(const std::set<std::string>& folders, const std::set<std::string>& files = {});

    // What the events waiting now touched, without waiting for more.
    struct Touched {
        std::set<std::string> paths;    // "<folder>/<name>", or a watched file
        std::set<std::string> folders;  // anything at or beneath these
        bool everything = false;        // events were lost, or a folder went
        bool Empty() const { return paths.empty() && folders.empty() && !everything; }
        void Add(const Touched& more);
    };
    Touched Drain();

    // Whether `path` itself is watched now (not through a folder above it,
    // as a missing folder is, and not failed).
    bool Watching(const std::string& path) const { return byPath_.count(path) != 0; }

  private:
    void Forget(const std::string& path);

    struct Watched {
        std::set<std::string> paths;  // one inode may be watched under several
        bool folder = true;
    };
    int fd_ = -1;
    std::string error_;
    std::map<int, Watched> byWatch_;  // watch descriptor to what it watches
    std::map<std::string, int> byPath_;
    std::set<std::string> missing_;
};

}  // namespace pellandrix
