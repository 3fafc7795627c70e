#pragma once

#include <string>

#include "app/open_commands.h"
#include "app/outcome.h"

namespace pellandrix {

// What the desktop says about the user's web browser, asked without a
// window: $BROWSER, $PATH and the application folders from the environment,
// and the answer of `xdg-settings get default-web-browser` (empty when the
// tool is missing, fails or takes longer than a few seconds).
DesktopChoices AskBrowserChoices();

// The user's web browser, chosen by BrowserUrlCommand from
// AskBrowserChoices, started on its own to show `url`. Refused
// (kCannotStartProgram, with the program and `url`) when it cannot be
// started; what it does later is its own matter.
Outcome OpenUrlInBrowser(const std::string& url);

}  // namespace pellandrix
