#include "store/profile_reader.h"

#include <fcntl.h>
#include <ini.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "support/fixed_text.h"

namespace pellandrix {

namespace {

struct Lookup {
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

bool SameName(const char* a, const std::string& b) {
    return ::strcasecmp(a, b.c_str()) == 0;
}

int OnEntry(void* user, const char* section, const char* name, const char* value) {
    auto* lookup = static_cast<Lookup*>(user);
    if (!lookup->value && SameName(section, lookup->section) && SameName(name, lookup->key)) {
        lookup->value = value;
    }
    return 1;  // keep going; a malformed line elsewhere must not matter
}

std::string WithoutQuotes(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

std::string GetProfileString(const std::string& iniPath, std::string_view section,
                             std::string_view key, std::string_view fallback,
                             std::size_t maxLength) {
    Lookup lookup{std::string(section), std::string(key), std::nullopt};
    // A missing file (-1) gives the fallback like a missing key; a line the
    // library cannot read is skipped, as the profile functions skip it.
    ini_parse(iniPath.c_str(), &OnEntry, &lookup);
    const std::string value = lookup.value ? WithoutQuotes(*lookup.value) : std::string(fallback);
    return std::string(CutToWidth(value, maxLength));
}

std::string ProfileReadProblem(const std::string& iniPath) {
    struct stat entry;
    if (::lstat(iniPath.c_str(), &entry) != 0) {
        return errno == ENOENT ? std::string() : std::strerror(errno);
    }
    // Reading finds a directory (EISDIR) as well as a file that opens but
    // does not read; O_NONBLOCK keeps a FIFO from stalling here.
    const int fd = ::open(iniPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::strerror(errno);
    }
    char start[4096];
    const ssize_t got = ::read(fd, start, sizeof start);
    const int error = errno;
    const bool regular = ::fstat(fd, &entry) == 0 && S_ISREG(entry.st_mode);
    ::close(fd);
    if (got < 0) {
        return std::strerror(error);
    }
    // A FIFO or device would stall the INI library's reading, or never end.
    if (!regular) {
        return "keine gewöhnliche Datei";
    }
    // The INI library reads bytes: in a UTF-16 file (as Windows' editors
    // save one) it finds no key and would answer with the defaults.
    if (std::memchr(start, '\0', static_cast<std::size_t>(got)) != nullptr ||
        (got >= 2 &&
         (std::memcmp(start, "\xff\xfe", 2) == 0 || std::memcmp(start, "\xfe\xff", 2) == 0))) {
        return "sie ist als UTF-16 gespeichert; lesbar ist sie als UTF-8";
    }
    return std::string();
}

}  // namespace pellandrix
