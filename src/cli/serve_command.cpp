// pellandrix-cli serve: watch, with the live preview of the target folders
// served beside it.
#include <filesystem>

#include "app/desktop_choices.h"
#include "app/preview_server.h"
#include "cli/cli.h"
#include "cli/commands.h"

namespace pellandrix::cli {

namespace {

// The start page in the user's browser, chosen as for "Seite im Browser
// öffnen"; a browser that cannot be started is said, the serving goes on.
void OpenInBrowser(CommandContext& c, const std::string& url) {
    if (Outcome opened = OpenUrlInBrowser(url); !opened) {
        const Refusal& why = opened.Refused();
        c.messages.ShowError(why.id, why.first, why.second);
    }
}

}  // namespace

int Serve(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return Refused(c, opened);
    }
    const std::string currentDir = std::filesystem::current_path().string();
    CPreviewServer server;
    if (Outcome started = server.Start(o.port.value_or(CPreviewServer::kDefaultPort),
                                       PreviewFolders(c.session, currentDir));
        !started) {
        return Refused(c, started);
    }
    c.messages.ShowNotice(MessageId::kPreviewAddress, server.Address());
    std::vector<PreviewMessage> messages;
    bool browserOpened = !o.open;
    WatchHooks hooks;
    hooks.runBegins = [&] { messages.clear(); };
    hooks.runEnded = [&] {
        server.RunEnded(SummarizeRun(c.session, std::move(messages), currentDir));
        messages.clear();
        // After the first run, so that the start page is there to show.
        if (!browserOpened) {
            browserOpened = true;
            OpenInBrowser(c, server.Address());
        }
    };
    // Where each message of a run happened, for the pages' overlay; the
    // lines on standard error stay exactly those of watch.
    c.presenter.SetListener([&](const std::string& text) {
        messages.push_back({text, c.session.RunPlace()});
    });
    const int status = Watch(c, o, hooks);
    c.presenter.SetListener(nullptr);
    return status;
}

}  // namespace pellandrix::cli
