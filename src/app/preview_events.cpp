#include "app/preview_events.h"

#include <microhttpd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "app/preview_content.h"

namespace pellandrix {

namespace {

// An open page hears from the server at least this often, so that a page
// closed without a word is noticed and its thread ends.
constexpr auto kKeepAlive = std::chrono::seconds(15);
// The run number in a page's "SERVER.RUN" mark; a page of another server
// (or none) knows of no run, and hears of every page written.
int KnownRun(const PreviewState& state, const char* mark) {
    const std::string_view text = mark != nullptr ? mark : "";
    const std::size_t dot = text.rfind('.');
    if (dot == std::string_view::npos || text.substr(0, dot) != state.server) {
        return 0;
    }
    const int run = std::atoi(std::string(text.substr(dot + 1)).c_str());
    return run >= 0 && run <= state.run ? run : 0;
}

// One page listening: what it has heard of, and what is on its way to it.
struct EventStream {
    PreviewState& state;
    int heard;
    bool greeted = false;
    std::string pending;
    std::size_t offset = 0;
};

std::string RunEvent(const PreviewState& state, int heard) {
    std::string changed;
    for (const auto& [path, run] : state.lastChanged) {
        if (run > heard) {
            changed += (changed.empty() ? "" : ",") + JsonString(path);
        }
    }
    std::string messages;
    for (const std::string& message : state.messages) {
        messages += (messages.empty() ? "" : ",") + JsonString(message);
    }
    return "event: run\ndata: {\"run\":" + std::to_string(state.run) + ",\"changed\":[" + changed +
           "],\"messages\":[" + messages + "]}\n\n";
}

// The next text for the page: at once what it has not heard of, then one
// event per ended run (a slow page gets the runs it missed in one), and a
// comment when nothing happened for a while. Empty when the server stops.
std::string NextEvent(EventStream& stream) {
    PreviewState& state = stream.state;
    std::unique_lock lock(state.mutex);
    if (stream.greeted && !state.changed.wait_for(lock, kKeepAlive, [&] {
            return state.stopping || state.run > stream.heard;
        })) {
        return ":\n\n";
    }
    if (state.stopping) {
        return {};
    }
    stream.greeted = true;
    std::string event = RunEvent(state, stream.heard);
    stream.heard = state.run;
    return event;
}

ssize_t ReadEvents(void* cls, std::uint64_t, char* buffer, std::size_t max) {
    auto& stream = *static_cast<EventStream*>(cls);
    if (stream.offset == stream.pending.size()) {
        stream.pending = NextEvent(stream);
        stream.offset = 0;
        if (stream.pending.empty()) {
            return MHD_CONTENT_READER_END_OF_STREAM;
        }
    }
    const std::size_t n = std::min(max, stream.pending.size() - stream.offset);
    std::memcpy(buffer, stream.pending.data() + stream.offset, n);
    stream.offset += n;
    return static_cast<ssize_t>(n);
}

void FreeEvents(void* cls) {
    // Made in EventsResponse and handed to the library, which ends it here.
    std::unique_ptr<EventStream>(static_cast<EventStream*>(cls));
}

}  // namespace

std::string RunMark(const PreviewState& state) {
    return state.server + "." + std::to_string(state.run);
}

void ResponseDestroy::operator()(MHD_Response* response) const {
    MHD_destroy_response(response);
}

PreviewResponse EventsResponse(PreviewState& state, const char* mark) {
    int heard = 0;
    {
        const std::lock_guard lock(state.mutex);
        heard = KnownRun(state, mark);
    }
    auto stream = std::make_unique<EventStream>(EventStream{state, heard, false, {}, 0});
    PreviewResponse response(MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &ReadEvents,
                                                               stream.get(), &FreeEvents));
    if (response) {
        stream.release();  // the response owns it now, and frees it through FreeEvents
    }
    return response;
}

}  // namespace pellandrix
