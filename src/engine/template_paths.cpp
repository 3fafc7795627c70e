#include "engine/template_paths.h"

#include <algorithm>

namespace pellandrix {

std::string JoinPath(std::string_view directory, std::string_view name) {
    if (directory.empty()) {
        return std::string(name);
    }
    std::string path(directory);
    path += '/';
    path += name;
    return path;
}

std::string TemplateBaseName(std::string_view fileName) {
    return std::string(fileName.substr(0, fileName.rfind('.')));
}

std::string GeneratedFilePath(std::string_view directory, std::string_view baseName,
                              std::string_view extension) {
    std::string name(baseName);
    name += '.';
    name += extension;
    return JoinPath(directory, name);
}

bool IsTemplateInclude(const IncludeName& parts) {
    return parts.hasDot && parts.extension == "tpl";
}

std::string PlainIncludePath(const IncludeName& parts) {
    std::string path = parts.directory + parts.name;
    if (parts.hasDot) {
        path += '.';
        path += parts.extension;
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace pellandrix
