#include "app/data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/app_core.h"
#include "support/file_calls.h"

namespace pellandrix {

namespace {

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// Makes `path` a folder; an existing folder (or a link to one) is fine.
// Returns 0 or the errno of the failure.
int MakeOneFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) {
        return 0;
    }
    const int error = errno;
    struct stat st {};
    if (error == EEXIST && ::stat(path.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    return error;
}

// Makes every missing folder of `folder`, from the root down, so that each
// one made gets 0700 rather than the library's 0777 less the umask.
int MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        if (const int error = MakeOneFolder(folder.substr(0, slash))) {
            return error;
        }
    }
    return MakeOneFolder(folder);
}

// Writes the default extensions unless the file is there. Exclusive
// creation: a file the user (or a second start) made meanwhile is never
// overwritten. Returns 0 or the errno of the failure.
int WriteDefaultExtensions(const std::string& path) {
    const CFileDescriptor fd(OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666));
    if (!fd.IsOpen()) {
        return errno == EEXIST ? 0 : errno;
    }
    std::size_t written = 0;
    while (written < kDefaultExtensionFile.size()) {
        const ssize_t n = ::write(fd.Get(), kDefaultExtensionFile.data() + written,
                                  kDefaultExtensionFile.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            // A cut list would stay for good, since an existing file is
            // never written again.
            ::unlink(path.c_str());
            return error;
        }
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

// `base` without trailing slashes, then `tail`.
std::string Below(std::string base, std::string_view tail) {
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base.append(tail);
}

}  // namespace

std::string DataFolderPath(const char* xdgDataHome, const char* home) {
    if (IsAbsolute(xdgDataHome)) {
        return Below(xdgDataHome, "/pellandrix");
    }
    if (IsAbsolute(home)) {
        return Below(home, "/.local/share/pellandrix");
    }
    return {};
}

Outcome PrepareDataFolder(const std::string& folder) {
    if (folder.empty()) {
        return Outcome::Refuse(MessageId::kDataFolderFailed, "~/.local/share/pellandrix",
                               "HOME ist nicht gesetzt");
    }
    int error = MakeFolders(folder);
    if (error == 0) {
        error = WriteDefaultExtensions(folder + "/" + kExtensionFileName);
    }
    if (error != 0) {
        return Outcome::Refuse(MessageId::kDataFolderFailed, folder, std::strerror(error));
    }
    return {};
}

}  // namespace pellandrix
