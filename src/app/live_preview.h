#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/outcome.h"
#include "app/preview_server.h"

namespace pellandrix {

class CProjectSession;
class CTplFileRecord;

// The desktop's live preview: the preview server of the current project's
// target folders, told about every run the window makes while it is on,
// and the user's browser started on a page once the first run after
// switching on has written it.
class CLivePreview {
  public:
    // Borrows `session`, which must outlive the object.
    explicit CLivePreview(const CProjectSession& session);
    // Stops serving.
    ~CLivePreview();
    CLivePreview(const CLivePreview&) = delete;
    CLivePreview& operator=(const CLivePreview&) = delete;

    // Serves the target folders of the session's current project (relative
    // ones taken from `currentDir`) at `port` or the next free one (see
    // CPreviewServer::Start); when on already, stops first. Refused
    // (kPreviewNoPort) when it cannot listen; it stays off then.
    Outcome Start(const std::string& currentDir, int port = CPreviewServer::kDefaultPort);
    // Stops serving: open pages lose their connection, a page waiting to
    // be opened is forgotten. Nothing when off.
    void Stop();
    bool IsOn() const { return server_ != nullptr; }
    // "http://127.0.0.1:PORT/"; empty when off.
    std::string Address() const;
    // Where `entry`'s page is served, its path percent-encoded; the start
    // page when the entry makes no page or it lies in no served folder;
    // empty when off.
    std::string PageAddress(const CTplFileRecord& entry) const;

    // The user's browser is to show `address` after the next run ends.
    void OpenAfterNextRun(std::string address);
    // A run ended that showed `messages`: the pages it wrote reload, its
    // messages show over every page until a run without any ends, and the
    // page waiting to be opened is opened. Refused (kCannotStartProgram)
    // when the browser cannot be started. Nothing when off.
    Outcome RunEnded(std::vector<PreviewMessage> messages);

  private:
    const CProjectSession& session_;
    std::string currentDir_;
    std::unique_ptr<CPreviewServer> server_;
    std::string toOpen_;
};

}  // namespace pellandrix
