#include "support/program_start.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "support/file_calls.h"

extern char** environ;

namespace pellandrix {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Spawns `argv` with standard input and error on /dev/null and standard
// output on `out` (or /dev/null when negative). -1 when it failed.
pid_t Spawn(std::vector<std::string> argv, int out) {
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0) {
        posix_spawn_file_actions_adddup2(&files, out, 1);
    } else {
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    std::vector<char*> pointers = Pointers(argv);
    const int error = ::posix_spawnp(&pid, pointers[0], &files, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    return error == 0 ? pid : -1;
}

bool EndedWell(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool ProgramFound(const std::string& program, const std::string& searchPath) {
    if (program.find('/') != std::string::npos) {
        return ::access(program.c_str(), X_OK) == 0;
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        const std::size_t end = std::min(searchPath.find(':', start), searchPath.size());
        if (end > start &&
            ::access((searchPath.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string FirstLineOf(const std::vector<std::string>& argv, int timeoutMs) {
    int ends[2];
    if (argv.empty() || ::pipe2(ends, O_CLOEXEC) != 0) {
        return {};
    }
    CFileDescriptor reading(ends[0]);
    CFileDescriptor writing(ends[1]);
    const pid_t pid = Spawn(argv, writing.Get());
    writing.Close();
    if (pid < 0) {
        return {};
    }
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{reading.Get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            ::kill(pid, SIGKILL);
            EndedWell(pid);
            return {};
        }
        char buffer[512];
        const ssize_t n = ::read(reading.Get(), buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        output.append(buffer, static_cast<std::size_t>(n));
    }
    if (!EndedWell(pid)) {
        return {};
    }
    return output.substr(0, output.find('\n'));
}

bool StartDetached(const std::vector<std::string>& argv) {
    const char* path = std::getenv("PATH");
    if (argv.empty() || !ProgramFound(argv[0], path != nullptr ? path : "")) {
        return false;
    }
    // setsid --fork starts it in a new session and returns at once; the
    // program then belongs to init, not to this process.
    std::vector<std::string> command{"setsid", "--fork"};
    command.insert(command.end(), argv.begin(), argv.end());
    const pid_t pid = Spawn(command, -1);
    return pid >= 0 && EndedWell(pid);
}

}  // namespace pellandrix
