#include "app/open_commands.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>

#include "engine/template_paths.h"
#include "support/desktop_entry.h"
#include "support/program_start.h"

namespace pellandrix {

namespace {

// `path` made absolute against `currentDir` and tidied, so that a browser
// or file manager started elsewhere finds the same file.
std::string Absolute(const std::string& path, const std::string& currentDir) {
    const std::filesystem::path p = path.empty() || path.front() != '/'
                                        ? std::filesystem::path(currentDir) / path
                                        : std::filesystem::path(path);
    return p.lexically_normal().string();
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        if (end > start) {
            parts.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

// The first command of $BROWSER whose program is there, for `url`.
std::optional<LaunchCommand> FromBrowserVariable(const DesktopChoices& desktop,
                                                 const std::string& url) {
    for (const std::string& command : SplitAt(desktop.browserVariable, ':')) {
        std::vector<std::string> words = SplitAt(command, ' ');
        if (words.empty() || !ProgramFound(words.front(), desktop.searchPath)) {
            continue;
        }
        bool placed = false;
        for (std::string& word : words) {
            if (const std::size_t at = word.find("%s"); at != std::string::npos) {
                word.replace(at, 2, url);
                placed = true;
            }
        }
        if (!placed) {
            words.push_back(url);
        }
        return LaunchCommand{words.front(), {words.begin() + 1, words.end()}};
    }
    return std::nullopt;
}

// The application entry `id` asked to open `path`.
std::optional<LaunchCommand> FromEntry(const DesktopChoices& desktop, const std::string& id,
                                       const std::string& path, const std::string& url) {
    if (id.empty()) {
        return std::nullopt;
    }
    const std::optional<std::string> exec = FindExecValue(desktop.applicationFolders, id);
    if (!exec) {
        return std::nullopt;
    }
    std::vector<std::string> words = ExpandExecValue(*exec, path, url);
    if (words.empty()) {
        return std::nullopt;
    }
    return LaunchCommand{words.front(), {words.begin() + 1, words.end()}};
}

}  // namespace

EntryPlaces PlacesOf(const CTplFileRecord& entry, const std::string& currentDir) {
    EntryPlaces places;
    places.targetFolder = Absolute(entry.TargetPath.str(), currentDir);
    if (entry.CreateFile) {
        places.page = Absolute(
            GeneratedFilePath(entry.TargetPath.str(), TemplateBaseName(entry.TPLFileName.str()),
                              entry.CreateFileExt.str()),
            currentDir);
    }
    places.templateFile =
        Absolute(JoinPath(entry.SourcePath.str(), entry.TPLFileName.str()), currentDir);
    return places;
}

std::string PercentEncodedPath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0x0F];
        }
    }
    return url;
}

std::string FileUrl(const std::string& path) {
    return "file://" + PercentEncodedPath(path);
}

LaunchCommand BrowserCommand(const DesktopChoices& desktop, const std::string& page) {
    return BrowserUrlCommand(desktop, FileUrl(page), page);
}

LaunchCommand BrowserUrlCommand(const DesktopChoices& desktop, const std::string& url,
                                const std::string& path) {
    if (auto command = FromBrowserVariable(desktop, url)) {
        return *command;
    }
    if (auto command = FromEntry(desktop, desktop.defaultBrowser, path, url)) {
        return *command;
    }
    if (ProgramFound("x-www-browser", desktop.searchPath)) {
        return {"x-www-browser", {url}};
    }
    return {"xdg-open", {url}};
}

LaunchCommand EditorCommand(const DesktopChoices& desktop, const std::string& file) {
    if (auto command = FromEntry(desktop, desktop.textEditor, file, FileUrl(file))) {
        return *command;
    }
    return {"xdg-open", {file}};
}

LaunchCommand EditorCommandAt(const DesktopChoices& desktop, const std::string& file, int line) {
    // Only editors whose "+LINE" is documented: to another one the
    // argument would be a file name to open or to make.
    static constexpr std::string_view kTakesLine[] = {"gedit", "pluma",       "xed",  "geany",
                                                      "vi",    "vim",         "gvim", "nvim",
                                                      "emacs", "emacsclient", "nano"};
    LaunchCommand command = EditorCommand(desktop, file);
    const std::string name = std::filesystem::path(command.program).filename().string();
    // The entry's Exec hands the file over as a path or as a URL.
    const auto fileArgument =
        std::find_if(command.arguments.begin(), command.arguments.end(),
                     [&](const std::string& a) { return a == file || a == FileUrl(file); });
    if (line < 1 || fileArgument == command.arguments.end() ||
        std::find(std::begin(kTakesLine), std::end(kTakesLine), name) == std::end(kTakesLine)) {
        return command;
    }
    command.arguments.insert(fileArgument, "+" + std::to_string(line));
    return command;
}

LaunchCommand FolderCommand(const std::string& folder) {
    return {"xdg-open", {folder}};
}

}  // namespace pellandrix
