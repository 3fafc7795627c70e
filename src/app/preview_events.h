#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/preview_site.h"

struct MHD_Response;

namespace pellandrix {

// What the preview server shares with its connections, under `mutex`.
struct PreviewState {
    std::mutex mutex;
    std::condition_variable changed;  // a run ended, or the server stops
    CPreviewSite site;
    std::string server;                      // told apart from an earlier server's pages
    int run = 0;                             // runs ended so far
    std::map<std::string, int> lastChanged;  // site path -> run that last wrote it
    std::vector<std::string> messages;       // of the last run, placed as --locations places them
    bool stopping = false;
};

// "SERVER.RUN": which server serves a page now, and how many runs had ended.
std::string RunMark(const PreviewState& state);

struct ResponseDestroy {
    void operator()(MHD_Response* response) const;
};
using PreviewResponse = std::unique_ptr<MHD_Response, ResponseDestroy>;

// The event stream of a page served with `mark` (none: an unknown page): at
// once one "run" event with what the page has not heard of (the site paths
// written since, the last run's messages), then one per ended run (a slow
// page gets the runs it missed in one), a comment when nothing happened for
// a while, and its end when the server stops. Its reads block: for a
// server with a thread per connection. Null when it could not be made.
PreviewResponse EventsResponse(PreviewState& state, const char* mark);

}  // namespace pellandrix
