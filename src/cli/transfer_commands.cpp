// export and import: a project as a text file, for version control.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/project_text.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "support/temporary_file.h"

namespace pellandrix::cli {

namespace {

namespace fs = std::filesystem;

// A project text holds a few hundred bytes an entry; this leaves room for
// far more entries than a project has, and stops a text that never ends
// (a device, a pipe that keeps writing) before it fills the memory.
constexpr std::size_t kMaxTextMegabytes = 64;
constexpr std::size_t kMaxTextBytes = kMaxTextMegabytes * 1024 * 1024;

// Writes `text` to `path` whole or not at all: into a new hidden file
// beside it (made anew, so that nothing planted under its name is
// followed), flushed to disk, then renamed over it. Returns the error
// text, empty when written.
std::string WriteWhole(const fs::path& path, const std::string& text) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    CPlacement placement;
    CTemporaryFile file = placement.Make(path, 0666 & ~mask);
    if (!file.Exists()) {
        return std::strerror(errno);
    }
    FileId id;
    if (!file.Write(text) || ::fsync(file.Descriptor()) != 0 || !file.End(&id) || !file.Close() ||
        !placement.PutInPlace(file, id, path)) {
        return std::strerror(errno);
    }
    return {};
}

// The whole text of the file at `path`; refused when it cannot be read or
// is larger than a project text can be.
Outcome ReadText(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 16);
    while (in && text->size() <= kMaxTextBytes) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        text->append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (text->size() > kMaxTextBytes) {
        return Outcome::Refuse(MessageId::kProjectTextTooLarge, path,
                               std::to_string(kMaxTextMegabytes));
    }
    if (!in.eof()) {
        return Outcome::Refuse(MessageId::kCannotReadFile, path);
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
        // A write that fails here is found, and reported, when the command
        // ends (FinishOutput).
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
    std::string text;
    if (Outcome read = ReadText(o.arguments[0], &text); !read) {
        return Refused(c, read);
    }
    const fs::path file = Absolute(o.arguments[0]);
    ProjectText project;
    if (Outcome read = ReadProjectText(text, file.parent_path(), fs::current_path().string(),
                                       o.arguments[0], &project);
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
