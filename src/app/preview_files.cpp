#include "app/preview_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "app/preview_content.h"

namespace pellandrix {

namespace {

// Written by hand rather than with strftime, whose names follow the locale.
constexpr std::array<std::string_view, 7> kDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr std::string_view kHtmlType = "text/html; charset=utf-8";

PreviewReply TextReply(int status, std::string body) {
    PreviewReply reply;
    reply.status = status;
    reply.headers = {{"Content-Type", std::string(kHtmlType)}, {"Cache-Control", "no-cache"}};
    reply.body = std::move(body);
    return reply;
}

PreviewReply NotFound() {
    return TextReply(404,
                     "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">"
                     "<title>Nicht gefunden</title></head>\n<body><h1>Nicht gefunden</h1>"
                     "<p>Diese Datei gibt es in den Zielordnern des Projekts nicht.</p>"
                     "</body></html>\n");
}

// The page stands in for the one a later run may write; a path refused for
// where it leads gets the bare answer, with nothing in it to tell why.
PreviewReply Missing(const CPreviewSite& site, const PreviewRequest& request,
                     std::string_view runMark) {
    const std::optional<std::string> url = site.NotYetThere(request.rawPath);
    if (!url) {
        return NotFound();
    }
    // A folder shows its index page once a run wrote one.
    const std::string page = url->ends_with('/') ? *url + "index.html" : *url;
    if (!TakesLiveScript(page)) {
        return NotFound();
    }
    return TextReply(404, WithLiveScript(NotFoundPage(*url), page, runMark));
}

// Changes with the file's identity, size or modification time, and for a
// page with the live script also with the run it names.
std::string ETagOf(const struct stat& st, std::optional<std::string_view> runMark) {
    char tag[96];
    std::snprintf(
        tag, sizeof tag, "\"%llx-%llx-%llx-%lx", static_cast<unsigned long long>(st.st_ino),
        static_cast<unsigned long long>(st.st_size),
        static_cast<unsigned long long>(st.st_mtim.tv_sec), static_cast<long>(st.st_mtim.tv_nsec));
    std::string etag = tag;
    if (runMark) {
        etag += "-" + std::string(*runMark);
    }
    return etag + "\"";
}

bool NotModified(const PreviewRequest& request, const std::string& etag, std::time_t modified) {
    if (request.ifNoneMatch) {
        return *request.ifNoneMatch == "*" || request.ifNoneMatch->find(etag) != std::string::npos;
    }
    if (request.ifModifiedSince) {
        const std::optional<std::int64_t> since = ParseHttpDate(*request.ifModifiedSince);
        return since && modified <= *since;
    }
    return false;
}

std::optional<std::string> ReadAll(int fd, std::uint64_t size) {
    std::string text(size, '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::pread(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;  // cut short since its size was taken
        }
        done += static_cast<std::size_t>(n);
    }
    text.resize(done);
    return text;
}

PreviewReply ServeFile(const CPreviewSite::Found& found, const PreviewRequest& request,
                       std::string_view runMark) {
    // O_NOFOLLOW: the path is real already; a link put there since is not
    // followed out of the site.
    CFileDescriptor fd(::open(found.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat st;
    if (!fd.IsOpen() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return NotFound();
    }
    const bool live = TakesLiveScript(found.path);
    PreviewReply reply;
    const std::string etag =
        ETagOf(st, live ? std::optional<std::string_view>(runMark) : std::nullopt);
    reply.headers = {{"ETag", etag},
                     {"Last-Modified", HttpDate(st.st_mtim.tv_sec)},
                     {"Cache-Control", "no-cache"}};
    if (NotModified(request, etag, st.st_mtim.tv_sec)) {
        reply.status = 304;
        return reply;
    }
    reply.status = 200;
    reply.headers.emplace_back("Content-Type", std::string(ContentTypeOf(found.path)));
    reply.headers.emplace_back("X-Content-Type-Options", "nosniff");
    if (!live) {
        reply.file = std::move(fd);
        reply.size = static_cast<std::uint64_t>(st.st_size);
        return reply;
    }
    const std::optional<std::string> page =
        ReadAll(fd.Get(), static_cast<std::uint64_t>(st.st_size));
    if (!page) {
        return NotFound();
    }
    reply.body = WithLiveScript(*page, found.urlPath, runMark);
    return reply;
}

std::vector<std::string> FolderNames(const CPreviewSite& site, const CPreviewSite::Found& found) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(found.path, error)) {
        std::string name = item.path().filename().string();
        if (!name.starts_with('.')) {
            names.push_back(item.is_directory(error) ? name + "/" : name);
        }
    }
    std::sort(names.begin(), names.end());
    if (found.urlPath == "/") {
        for (const std::string& mount : site.Mounts()) {
            names.push_back(mount.substr(1));
        }
    }
    return names;
}

PreviewReply ServeFolder(const CPreviewSite& site, const CPreviewSite::Found& found,
                         const PreviewRequest& request, std::string_view runMark) {
    if (!request.rawPath.ends_with('/')) {
        PreviewReply reply = TextReply(301, {});
        reply.headers.emplace_back("Location", std::string(request.rawPath) + "/");
        return reply;
    }
    for (const std::string_view index : {"index.html", "index.htm"}) {
        // Resolved anew: the index page may be a link leading out.
        const std::string raw = std::string(request.rawPath) + std::string(index);
        if (const auto page = site.Resolve(raw); page && !page->folder) {
            return ServeFile(*page, request, runMark);
        }
    }
    return TextReply(200, FolderListing(found.urlPath, FolderNames(site, found)));
}

}  // namespace

PreviewReply FileReply(const CPreviewSite& site, const PreviewRequest& request,
                       std::string_view runMark) {
    const std::optional<CPreviewSite::Found> found = site.Resolve(request.rawPath);
    if (!found) {
        return Missing(site, request, runMark);
    }
    return found->folder ? ServeFolder(site, *found, request, runMark)
                         : ServeFile(*found, request, runMark);
}

std::string HttpDate(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ::gmtime_r(&time, &tm);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                  kDays[static_cast<std::size_t>(tm.tm_wday)].data(), tm.tm_mday,
                  kMonths[static_cast<std::size_t>(tm.tm_mon)].data(), tm.tm_year + 1900,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::optional<std::int64_t> ParseHttpDate(std::string_view text) {
    char day[4] = {};
    char month[4] = {};
    std::tm tm{};
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%3s, %d %3s %d %d:%d:%d GMT", day, &tm.tm_mday, month,
                    &tm.tm_year, &tm.tm_hour, &tm.tm_min, &tm.tm_sec) != 7) {
        return std::nullopt;
    }
    const auto it = std::find(kMonths.begin(), kMonths.end(), std::string_view(month));
    if (it == kMonths.end()) {
        return std::nullopt;
    }
    tm.tm_mon = static_cast<int>(it - kMonths.begin());
    tm.tm_year -= 1900;
    return static_cast<std::int64_t>(::timegm(&tm));
}

}  // namespace pellandrix
