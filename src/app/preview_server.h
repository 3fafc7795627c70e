#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/outcome.h"
#include "app/preview_site.h"
#include "engine/source_place.h"

struct MHD_Daemon;

namespace pellandrix {
struct PreviewState;
}

namespace pellandrix {

// One message of a run, with where it happened (innermost place first).
struct PreviewMessage {
    std::string text;
    std::vector<SourcePlace> places;
};

// What a finished run tells the preview.
struct PreviewRun {
    // The target folders to serve (see CPreviewSite), absolute.
    std::vector<std::string> folders;
    // The files the run wrote, absolute.
    std::vector<std::string> changedFiles;
    std::vector<PreviewMessage> messages;
};

// The files, written pages and messages of the run that just ended in the
// current project of `session`: pages of entries that read "fertig".
PreviewRun SummarizeRun(const CProjectSession& session, std::vector<PreviewMessage> messages,
                        const std::string& currentDir);

// The live preview: serves the target folders over HTTP on 127.0.0.1 only,
// GET and HEAD, with content types, folder listings, and 304 answers to
// If-None-Match and If-Modified-Since. Every HTML page it serves carries the
// live script (see preview_content.h); pages on disk never change.
//
// Each connection has a thread of its own, so that open pages waiting for
// events and slow clients hold up neither each other nor the runs:
// RunEnded only stores the run and wakes the waiting connections.
// Signals are blocked in its threads; the process's own handling stays.
class CPreviewServer {
  public:
    // Where Start looks first when no port is asked for.
    static constexpr int kDefaultPort = 8080;

    CPreviewServer();
    // Stops serving; open connections are closed.
    ~CPreviewServer();
    CPreviewServer(const CPreviewServer&) = delete;
    CPreviewServer& operator=(const CPreviewServer&) = delete;

    // Listens on 127.0.0.1 at `port`, or the next free one of the hundred
    // after it (0: a port the system picks), and serves `folders` (see
    // CPreviewSite) until a run ends. Refused (kPreviewNoPort) when none
    // was free.
    Outcome Start(int port, const std::vector<std::string>& folders);
    // The port listened on; 0 before Start.
    int Port() const { return port_; }
    // "http://127.0.0.1:PORT/".
    std::string Address() const;

    // Called when a run ends: what it wrote reloads the pages showing it,
    // its messages show over every page until a run without messages
    // ends. Never waits for a client.
    void RunEnded(const PreviewRun& run);

  private:
    struct DaemonStop {
        void operator()(MHD_Daemon* daemon) const;
    };

    std::unique_ptr<PreviewState> state_;
    std::unique_ptr<MHD_Daemon, DaemonStop> daemon_;
    int port_ = 0;
};

}  // namespace pellandrix
