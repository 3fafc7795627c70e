#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status =
        pellandrix::cli::RunCli(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
    // Closing is the last chance to hear of a write that failed (some file
    // systems report it only then); the runtime's own close would drop it.
    if (::close(STDOUT_FILENO) != 0 && errno != EBADF) {
        return pellandrix::cli::OutputFailed(std::cerr, errno, status);
    }
    return status;
}
