// export and import: a project as a text file, for version control.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/project_text.h"
#include "cli/cli.h"
#include "cli/commands.h"

namespace pellandrix::cli {

namespace {

namespace fs = std::filesystem;

// Writes `text` to `path` whole or not at all: into a new file beside it,
// flushed to disk, then renamed over it. Returns the error text, empty when
// written.
std::string WriteWhole(const fs::path& path, const std::string& text) {
    const fs::path temporary = path.string() + ".pellandrix-export";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return std::strerror(errno);
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const int error = done < text.size() || ::fsync(fd) != 0 ? errno : 0;
    ::close(fd);
    if (error != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string message = std::strerror(error != 0 ? error : errno);
        ::unlink(temporary.c_str());
        return message;
    }
    return {};
}

fs::path Absolute(const std::string& path) {
    std::error_code ignored;
    return fs::absolute(path, ignored).lexically_normal();
}

}  // namespace

int ExportProject(CommandContext& c, const CliOptions& o) {
    if (Outcome opened = c.session.Open(o.arguments[0]); !opened) {
        return Refused(c, opened);
    }
    const std::string work = fs::current_path().string();
    if (o.arguments.size() < 2) {
        c.out << WriteProjectText(*c.session.Current(), c.session.Files(), work, work);
        return kExitOk;
    }
    const fs::path file = Absolute(o.arguments[1]);
    const std::string text =
        WriteProjectText(*c.session.Current(), c.session.Files(), file.parent_path(), work);
    if (const std::string error = WriteWhole(file, text); !error.empty()) {
        c.messages.ShowError(MessageId::kCannotWriteFile, o.arguments[1], error);
        return kExitFailure;
    }
    return kExitOk;
}

int ImportProject(CommandContext& c, const CliOptions& o) {
    std::ifstream in(o.arguments[0], std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        c.messages.ShowError(MessageId::kCannotReadFile, o.arguments[0]);
        return kExitFailure;
    }
    const fs::path file = Absolute(o.arguments[0]);
    ProjectText project;
    if (Outcome read = ReadProjectText(text.str(), file.parent_path(), o.arguments[0], &project);
        !read) {
        return Refused(c, read);
    }
    int id = 0;
    if (Outcome imported = c.session.ImportProject(project, o.as.value_or(""), &id); !imported) {
        return Refused(c, imported);
    }
    c.out << id << '\n';
    return kExitOk;
}

}  // namespace pellandrix::cli
