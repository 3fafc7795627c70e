#include "app/desktop_choices.h"

#include <cstdlib>

#include "support/desktop_entry.h"
#include "support/program_start.h"

namespace pellandrix {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

DesktopChoices AskBrowserChoices() {
    // Asked once, before a browser is started: briefly.
    constexpr int kWaitMs = 3000;
    DesktopChoices desktop;
    desktop.browserVariable = Variable("BROWSER");
    desktop.searchPath = Variable("PATH");
    desktop.applicationFolders = ApplicationFolders(
        std::getenv("XDG_DATA_HOME"), std::getenv("HOME"), std::getenv("XDG_DATA_DIRS"));
    desktop.defaultBrowser = FirstLineOf({"xdg-settings", "get", "default-web-browser"}, kWaitMs);
    return desktop;
}

Outcome OpenUrlInBrowser(const std::string& url) {
    LaunchCommand command = BrowserUrlCommand(AskBrowserChoices(), url, url);
    std::vector<std::string> argv{command.program};
    argv.insert(argv.end(), command.arguments.begin(), command.arguments.end());
    if (!StartDetached(argv)) {
        return Outcome::Refuse(MessageId::kCannotStartProgram, command.program, url);
    }
    return {};
}

}  // namespace pellandrix
