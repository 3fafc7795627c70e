#pragma once

#include "app/open_commands.h"

namespace pellandrix::ui {

// What the user's desktop says about the user's programs, for the choice
// of BrowserCommand and EditorCommand: $BROWSER, $PATH and the application
// folders from the environment; with `browser` the answer of
// `xdg-settings get default-web-browser`, with `editor` that of
// `xdg-mime query default text/plain`. A tool that is missing, fails or
// takes longer than a few seconds leaves its member empty.
DesktopChoices AskDesktop(bool browser, bool editor);

// Starts `command` on its own, not as a child that ends with this program.
// False when it could not be started (the program was not found or is not
// executable); what it does later is its own matter.
bool StartDetached(const LaunchCommand& command);

}  // namespace pellandrix::ui
