#pragma once

#include "app/open_commands.h"

namespace pellandrix {

// What the desktop says about the user's web browser, asked without a
// window: $BROWSER, $PATH and the application folders from the environment,
// and the answer of `xdg-settings get default-web-browser` (empty when the
// tool is missing, fails or takes longer than a few seconds).
DesktopChoices AskBrowserChoices();

}  // namespace pellandrix
