#pragma once

#include "app/app_core.h"

namespace pellandrix {

// The desktop program's choices kept across starts: whether a project is
// built automatically, and whether the messages window opens by itself
// after a run with messages. What is stored, and under which names, is
// decided here once. Engine errors leave as CDaoException.

// True when "automatisch erstellen" was last switched on for `projectId`.
bool AutoBuildRemembered(CAppCore& core, int projectId);
void RememberAutoBuild(CAppCore& core, int projectId, bool on);

// True unless the user switched the opening off (so by default it opens).
bool OpenMessagesAfterRunRemembered(CAppCore& core);
void RememberOpenMessagesAfterRun(CAppCore& core, bool on);

}  // namespace pellandrix
