#include "app/template_location.h"

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

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool same = fs::equivalent(a, b, error);
    if (!error) {
        return same;
    }
    // One of them does not exist (an entry whose template went away):
    // no inode to compare, so the spellings are compared once resolved.
    const fs::path left = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path right = fs::weakly_canonical(fs::absolute(b, error), error);
    return !error && left == right;
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

}  // namespace pellandrix
