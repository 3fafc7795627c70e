#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pellandrix::cli {

// Exit statuses; scripts rely on them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitErrorsShown = 1;
inline constexpr int kExitFailure = 2;

// How messages name standard output.
inline constexpr const char* kStandardOutput = "(Standardausgabe)";

// Reports that standard output could not be written (errno `error`, 0 when
// unknown) as one line on `err`; returns the exit status that then holds:
// 1 instead of 0, a failure status kept.
int OutputFailed(std::ostream& err, int error, int status);

// Runs pellandrix-cli with `args` (without the program name). Listings and
// ids go to `out`, messages and the progress bar to `err`; the bar is drawn
// only when `errIsTerminal`. Changes the process's current directory for
// -C. Returns the exit status; 1 instead of 0 when `out` could not be
// written (flushed before returning). Never throws.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal);

}  // namespace pellandrix::cli
