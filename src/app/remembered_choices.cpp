#include "app/remembered_choices.h"

#include <optional>
#include <string>
#include <string_view>

#include "store/desktop_options.h"

namespace pellandrix {

namespace {

constexpr std::string_view kAutoBuildOption = "AutoBuild";
constexpr std::string_view kOpenMessagesOption = "OpenMessagesAfterRun";
// Choices of the whole program rather than of one project.
constexpr int kProgramWide = 0;

std::string_view Flag(bool on) {
    return on ? "1" : "0";
}

}  // namespace

bool AutoBuildRemembered(CAppCore& core, int projectId) {
    return LoadDesktopOption(core.Database(), projectId, kAutoBuildOption) ==
           std::optional<std::string>("1");
}

void RememberAutoBuild(CAppCore& core, int projectId, bool on) {
    SaveDesktopOption(core.Database(), projectId, kAutoBuildOption, Flag(on));
}

bool OpenMessagesAfterRunRemembered(CAppCore& core) {
    return LoadDesktopOption(core.Database(), kProgramWide, kOpenMessagesOption) !=
           std::optional<std::string>("0");
}

void RememberOpenMessagesAfterRun(CAppCore& core, bool on) {
    SaveDesktopOption(core.Database(), kProgramWide, kOpenMessagesOption, Flag(on));
}

}  // namespace pellandrix
