#include "support/desktop_entry.h"

#include <algorithm>
#include <fstream>

namespace pellandrix {

namespace {

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The escapes every string value of a desktop entry may hold. Others (the
// quoting escapes such as \") stay for the splitting that follows.
std::string ResolveStringEscapes(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char next = i + 1 < value.size() ? value[i + 1] : '\0';
        const char* resolved = nullptr;
        if (value[i] == '\\') {
            switch (next) {
                case 's':
                    resolved = " ";
                    break;
                case 'n':
                    resolved = "\n";
                    break;
                case 't':
                    resolved = "\t";
                    break;
                case 'r':
                    resolved = "\r";
                    break;
                case '\\':
                    resolved = "\\";
                    break;
                default:
                    break;
            }
        }
        if (resolved != nullptr) {
            out += resolved;
            ++i;
        } else {
            out += value[i];
        }
    }
    return out;
}

// One argument while it is being read. `kept`: it holds quotes or literal
// text, so it stays even when empty.
struct Argument {
    std::string text;
    bool kept = false;
    bool started = false;
};

}  // namespace

std::vector<std::string> ApplicationFolders(const char* xdgDataHome, const char* home,
                                            const char* xdgDataDirs) {
    std::vector<std::string> folders;
    if (IsAbsolute(xdgDataHome)) {
        folders.push_back(std::string(xdgDataHome) + "/applications");
    } else if (IsAbsolute(home)) {
        folders.push_back(std::string(home) + "/.local/share/applications");
    }
    const std::string dirs = xdgDataDirs != nullptr && xdgDataDirs[0] != '\0'
                                 ? xdgDataDirs
                                 : "/usr/local/share:/usr/share";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t colon = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, colon - start);
        if (IsAbsolute(dir.c_str())) {
            folders.push_back(dir + "/applications");
        }
        start = colon + 1;
    }
    return folders;
}

std::optional<std::string> FindExecValue(const std::vector<std::string>& folders,
                                         std::string_view id) {
    for (const std::string& folder : folders) {
        std::ifstream in(folder + "/" + std::string(id), std::ios::binary);
        if (!in) {
            continue;
        }
        // The first folder holding the entry decides, even without an Exec:
        // that is how a user's own entry overrides the system's.
        std::optional<std::string> exec;
        bool inEntry = false;
        std::string line;
        while (std::getline(in, line)) {
            const std::string_view text = Trimmed(line);
            if (text.starts_with('[')) {
                inEntry = text == "[Desktop Entry]";
                continue;
            }
            const std::size_t equals = text.find('=');
            if (!inEntry || equals == std::string_view::npos) {
                continue;
            }
            const std::string_view key = Trimmed(text.substr(0, equals));
            const std::string_view value = Trimmed(text.substr(equals + 1));
            if (key == "Hidden" && value == "true") {
                return std::nullopt;
            }
            if (key == "Exec" && !exec) {
                exec = std::string(value);
            }
        }
        return exec;
    }
    return std::nullopt;
}

std::vector<std::string> ExpandExecValue(std::string_view exec, std::string_view path,
                                         std::string_view url) {
    const std::string value = ResolveStringEscapes(exec);
    std::vector<std::string> arguments;
    Argument current;
    bool quoted = false;
    bool fileField = false;
    auto finish = [&] {
        if (current.started && (current.kept || !current.text.empty())) {
            arguments.push_back(std::move(current.text));
        }
        current = Argument{};
    };
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const char next = i + 1 < value.size() ? value[i + 1] : '\0';
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && (next == '"' || next == '`' || next == '$' || next == '\\')) {
                current.text += next;
                ++i;
            } else {
                current.text += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            finish();
        } else if (c == '"') {
            quoted = current.started = current.kept = true;
        } else if (c == '%' && next != '\0') {
            current.started = true;
            ++i;
            if (next == 'f' || next == 'F' || next == 'u' || next == 'U') {
                current.text += (next == 'f' || next == 'F') ? path : url;
                current.kept = fileField = true;
            } else if (next == '%') {
                current.text += '%';
                current.kept = true;
            }
        } else {
            current.text += c;
            current.started = current.kept = true;
        }
    }
    if (quoted) {
        return {};
    }
    finish();
    if (arguments.empty() || arguments.front().empty()) {
        return {};
    }
    if (!fileField) {
        arguments.emplace_back(url);
    }
    return arguments;
}

}  // namespace pellandrix
