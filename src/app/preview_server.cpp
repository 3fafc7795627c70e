#include "app/preview_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "app/open_commands.h"
#include "app/preview_content.h"
#include "app/preview_events.h"
#include "app/preview_files.h"
#include "engine/run_status.h"

namespace pellandrix {

namespace {

constexpr unsigned kConnectionTimeoutSeconds = 120;
constexpr unsigned kConnectionLimit = 512;

MHD_Result Queue(MHD_Connection* connection, unsigned status, const PreviewResponse& response,
                 const std::vector<std::pair<std::string, std::string>>& headers) {
    if (!response) {
        return MHD_NO;
    }
    for (const auto& [name, value] : headers) {
        MHD_add_response_header(response.get(), name.c_str(), value.c_str());
    }
    return MHD_queue_response(connection, status, response.get());
}

MHD_Result QueueReply(MHD_Connection* connection, PreviewReply reply) {
    PreviewResponse response(
        reply.file.IsOpen() ? MHD_create_response_from_fd(reply.size, reply.file.Release())
                            : MHD_create_response_from_buffer(reply.body.size(), reply.body.data(),
                                                              MHD_RESPMEM_MUST_COPY));
    return Queue(connection, static_cast<unsigned>(reply.status), response, reply.headers);
}

MHD_Result QueueEvents(MHD_Connection* connection, PreviewState& state) {
    const char* mark = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "since");
    return Queue(connection, MHD_HTTP_OK, EventsResponse(state, mark),
                 {{"Content-Type", "text/event-stream"}, {"Cache-Control", "no-cache"}});
}

MHD_Result QueueText(MHD_Connection* connection, unsigned status, std::string_view type,
                     std::string_view text) {
    PreviewResponse response(MHD_create_response_from_buffer(
        text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_PERSISTENT));
    return Queue(connection, status, response,
                 {{"Content-Type", std::string(type)}, {"Cache-Control", "no-cache"}});
}

std::optional<std::string_view> Header(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value != nullptr ? std::optional<std::string_view>(value) : std::nullopt;
}

MHD_Result Answer(void* cls, MHD_Connection* connection, const char* url, const char* method,
                  const char*, const char*, std::size_t* uploadSize, void** request) {
    if (*request == nullptr) {
        *request = cls;  // the headers are in; a body may follow
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        *uploadSize = 0;  // a body is not asked for, and dropped
        return MHD_YES;
    }
    auto& state = *static_cast<PreviewState*>(cls);
    const std::string_view verb = method;
    const std::string_view path = url;
    const std::optional<std::string_view> host = Header(connection, MHD_HTTP_HEADER_HOST);
    if (!host || !LoopbackHost(*host)) {
        return QueueText(connection, MHD_HTTP_MISDIRECTED_REQUEST, "text/plain; charset=utf-8",
                         "Die Vorschau antwortet nur unter 127.0.0.1 oder localhost.\n");
    }
    if (verb != MHD_HTTP_METHOD_GET && verb != MHD_HTTP_METHOD_HEAD) {
        return QueueText(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "text/plain; charset=utf-8",
                         "Nur GET und HEAD.\n");
    }
    if (path == kLiveScriptPath) {
        return QueueText(connection, MHD_HTTP_OK, "text/javascript", LiveScript());
    }
    if (path == kEventsPath) {
        return QueueEvents(connection, state);
    }
    CPreviewSite site;
    std::string mark;
    {
        const std::lock_guard lock(state.mutex);
        site = state.site;
        mark = RunMark(state);
    }
    return QueueReply(connection,
                      FileReply(site,
                                {path, Header(connection, MHD_HTTP_HEADER_IF_NONE_MATCH),
                                 Header(connection, MHD_HTTP_HEADER_IF_MODIFIED_SINCE)},
                                mark));
}

// Leaves the request path as sent: the site decodes it once, itself, so
// that "%00" or "%2f" cannot change what it checks.
std::size_t KeepEscaped(void*, MHD_Connection*, char* text) {
    return std::strlen(text);
}

// Blocks every signal in this thread while it lives, so that the threads
// started meanwhile never take one meant for the process.
class SignalsBlocked {
  public:
    SignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, &old_);
    }
    ~SignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

  private:
    sigset_t old_;
};

MHD_Daemon* StartDaemon(int port, PreviewState& state) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL,
        static_cast<std::uint16_t>(port), nullptr, nullptr, &Answer, &state, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr*>(&address), MHD_OPTION_CONNECTION_TIMEOUT,
        kConnectionTimeoutSeconds, MHD_OPTION_CONNECTION_LIMIT, kConnectionLimit,
        MHD_OPTION_UNESCAPE_CALLBACK, &KeepEscaped, nullptr, MHD_OPTION_END);
}

}  // namespace

PreviewRun SummarizeRun(const CProjectSession& session, std::vector<PreviewMessage> messages,
                        const std::string& currentDir) {
    PreviewRun run;
    run.folders = PreviewFolders(session, currentDir);
    for (const CTplFileRecord& entry : session.Files().Records()) {
        if (!entry.Deleted && entry.RunStatus == static_cast<int>(RunStatus::Done)) {
            if (std::string page = PlacesOf(entry, currentDir).page; !page.empty()) {
                run.changedFiles.push_back(std::move(page));
            }
        }
    }
    run.messages = std::move(messages);
    return run;
}

void CPreviewServer::DaemonStop::operator()(MHD_Daemon* daemon) const {
    MHD_stop_daemon(daemon);
}

CPreviewServer::CPreviewServer() : state_(std::make_unique<PreviewState>()) {
    state_->server = std::to_string(std::random_device()());
}

CPreviewServer::~CPreviewServer() {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->changed.notify_all();
    daemon_.reset();
}

Outcome CPreviewServer::Start(int port, const std::vector<std::string>& folders) {
    state_->site = CPreviewSite(folders);  // no connection yet to share it with
    const SignalsBlocked blocked;
    const int last = port == 0 ? 0 : std::min(port + 99, 65535);
    int error = 0;
    for (int candidate = port; candidate <= last; ++candidate) {
        if (MHD_Daemon* daemon = StartDaemon(candidate, *state_)) {
            daemon_.reset(daemon);
            port_ = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
            return {};
        }
        error = errno;
    }
    return Outcome::Refuse(MessageId::kPreviewNoPort, std::to_string(port), std::strerror(error));
}

std::string CPreviewServer::Address() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

void CPreviewServer::RunEnded(const PreviewRun& run) {
    {
        const std::lock_guard lock(state_->mutex);
        PreviewState& state = *state_;
        ++state.run;
        state.site = CPreviewSite(run.folders);
        for (const std::string& file : run.changedFiles) {
            if (const std::optional<std::string> path = state.site.UrlOf(file)) {
                state.lastChanged[*path] = state.run;
            }
        }
        state.messages.clear();
        for (const PreviewMessage& message : run.messages) {
            state.messages.push_back(PlacedMessage(message.text, message.places));
        }
    }
    state_->changed.notify_all();
}

}  // namespace pellandrix
