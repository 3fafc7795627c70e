#include "app/live_preview.h"

#include <utility>

#include "app/desktop_choices.h"
#include "app/open_commands.h"
#include "app/preview_site.h"

namespace pellandrix {

CLivePreview::CLivePreview(const CProjectSession& session) : session_(session) {}

CLivePreview::~CLivePreview() = default;

Outcome CLivePreview::Start(const std::string& currentDir, int port) {
    Stop();
    auto server = std::make_unique<CPreviewServer>();
    if (Outcome started = server->Start(port, PreviewFolders(session_, currentDir)); !started) {
        return started;
    }
    currentDir_ = currentDir;
    server_ = std::move(server);
    return {};
}

void CLivePreview::Stop() {
    server_.reset();
    toOpen_.clear();
}

std::string CLivePreview::Address() const {
    return server_ != nullptr ? server_->Address() : std::string();
}

std::string CLivePreview::PageAddress(const CTplFileRecord& entry) const {
    if (server_ == nullptr) {
        return {};
    }
    // The folders as served now: the entry's settings may have moved its
    // page since the last run.
    const std::string page = PlacesOf(entry, currentDir_).page;
    const std::optional<std::string> path =
        page.empty() ? std::nullopt
                     : CPreviewSite(PreviewFolders(session_, currentDir_)).UrlOf(page);
    if (!path) {
        return Address();
    }
    // The site path starts with "/", which the address ends with.
    return "http://127.0.0.1:" + std::to_string(server_->Port()) + PercentEncodedPath(*path);
}

void CLivePreview::OpenAfterNextRun(std::string address) {
    toOpen_ = std::move(address);
}

Outcome CLivePreview::RunEnded(std::vector<PreviewMessage> messages) {
    if (server_ == nullptr) {
        return {};
    }
    server_->RunEnded(SummarizeRun(session_, std::move(messages), currentDir_));
    if (toOpen_.empty()) {
        return {};
    }
    return OpenUrlInBrowser(std::exchange(toOpen_, {}));
}

}  // namespace pellandrix
