#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/app_core.h"
#include "app/project_session.h"

namespace pellandrix::testkit {

// Starts `core` on the database of the current folder and makes project
// "Web" (source src, target out, pages .html) the current one, as the
// session tests start.
inline ::testing::AssertionResult StartWithWebProject(CAppCore& core, CProjectSession& session) {
    core.StartUp();
    session.LoadProjects();
    const bool made = static_cast<bool>(session.NewProject(
        [] { return std::optional<std::string>("Web"); },
        [&session](CProjectRecord& p) {
            return session.ApplyProjectSettings(p, {"Web", "src", "out", "html"});
        }));
    return made ? ::testing::AssertionSuccess()
                : ::testing::AssertionFailure() << "project Web was not made";
}

}  // namespace pellandrix::testkit
