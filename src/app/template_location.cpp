#include "app/template_location.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace pellandrix {

namespace fs = std::filesystem;

TemplateLocation SplitTemplatePath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {path, "."};
    }
    std::string folder = path.substr(0, slash);
    // "a//x.tpl" names the folder "a"; "/x.tpl" the root, which has no
    // other spelling.
    while (!folder.empty() && folder.back() == '/') {
        folder.pop_back();
    }
    return {path.substr(slash + 1), folder.empty() ? "/" : folder};
}

std::string FileIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return "i" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    // No file (an entry whose template went away): no inode to compare,
    // so the spelling is compared once resolved.
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    const fs::path resolved = fs::weakly_canonical(absolute, error);
    return "p" + (error ? absolute : resolved).lexically_normal().string();
}

bool SameFile(const std::string& a, const std::string& b) {
    return FileIdentity(a) == FileIdentity(b);
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

}  // namespace pellandrix
