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
    // Reading one byte finds a directory (EISDIR) as well as a file that
    // opens but does not read; O_NONBLOCK keeps a FIFO from stalling here.
    const int fd = ::open(iniPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::strerror(errno);
    }
    char byte = 0;
    const ssize_t got = ::read(fd, &byte, 1);
    const int error = errno;
    ::close(fd);
    return got < 0 ? std::strerror(error) : std::string();
}

}  // namespace pellandrix
