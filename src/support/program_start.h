#pragma once

#include <string>
#include <vector>

namespace pellandrix {

// Whether `program` can be started: an executable path when it holds a
// "/", else a name found executable in a folder of `searchPath` (folders
// separated by ":").
bool ProgramFound(const std::string& program, const std::string& searchPath);

// The first line `argv` writes to standard output (without its line end),
// read from a child with no input; empty when it cannot be started, fails,
// or has not ended within `timeoutMs` (it is then killed).
std::string FirstLineOf(const std::vector<std::string>& argv, int timeoutMs);

// Starts `argv` (argv[0] a name looked up in PATH, or a path) in a session
// of its own, not as a child of this process, so that it neither ends with
// it nor is left to it to reap. False when it could not be started (its
// program is not found in $PATH, or not executable).
bool StartDetached(const std::vector<std::string>& argv);

}  // namespace pellandrix
