#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pellandrix::cli {

// Exit statuses; scripts rely on them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitErrorsShown = 1;
inline constexpr int kExitFailure = 2;

// Runs pellandrix-cli with `args` (without the program name). Listings and
// ids go to `out`, messages and the progress bar to `err`; the bar is drawn
// only when `errIsTerminal`. Changes the process's current directory for
// -C. Returns the exit status. Never throws.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal);

}  // namespace pellandrix::cli
