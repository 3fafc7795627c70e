#include "support/site_url.h"

#include <vector>

namespace pellandrix {

namespace {

bool IsAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsUrlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// A scheme is a letter, then letters, digits, "+", "-" or ".", then ":".
bool HasScheme(std::string_view url) {
    if (url.empty() || !IsAsciiAlpha(url[0])) {
        return false;
    }
    for (std::size_t i = 1; i < url.size(); ++i) {
        const char c = url[i];
        if (c == ':') {
            return true;
        }
        if (!IsAsciiAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return false;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The segments of `path` between its slashes; a leading slash gives none.
std::vector<std::string_view> Segments(std::string_view path) {
    std::vector<std::string_view> segments;
    if (path.starts_with('/')) {
        path.remove_prefix(1);
    }
    while (true) {
        const std::size_t slash = path.find('/');
        segments.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) {
            return segments;
        }
        path.remove_prefix(slash + 1);
    }
}

}  // namespace

LinkParts SplitLink(std::string_view url) {
    while (!url.empty() && IsUrlBlank(url.front())) {
        url.remove_prefix(1);
    }
    while (!url.empty() && IsUrlBlank(url.back())) {
        url.remove_suffix(1);
    }
    std::string text;
    for (const char c : url) {
        if (c != '\t' && c != '\n' && c != '\r') {
            text += c == '\\' ? '/' : c;
        }
    }
    LinkParts parts;
    if (HasScheme(text) || text.starts_with("//")) {
        parts.external = true;
        return parts;
    }
    const std::size_t hash = text.find('#');
    if (hash != std::string::npos) {
        parts.fragment = text.substr(hash + 1);
        text.resize(hash);
    }
    parts.path = text.substr(0, text.find('?'));
    return parts;
}

std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::string ResolveSitePath(std::string_view from, std::string_view path) {
    if (path.empty()) {
        return std::string(from);
    }
    // Decoded before the dots are resolved: a file server decodes "%2F" to
    // "/" as well, so "..%2F" climbs a folder like "../", and must not
    // climb above the root unnoticed as one odd segment.
    const std::string decoded = PercentDecoded(path);
    std::vector<std::string> kept;
    if (!decoded.starts_with('/')) {
        for (std::string_view segment : Segments(from)) {
            kept.emplace_back(segment);
        }
        kept.pop_back();  // the page's own name
    }
    bool folder = false;
    for (std::string_view segment : Segments(decoded)) {
        folder = segment.empty() || segment == "." || segment == "..";
        if (segment == "..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
        } else if (!folder) {
            kept.emplace_back(segment);
        }
    }
    std::string resolved;
    for (const std::string& segment : kept) {
        resolved += '/' + segment;
    }
    if (folder || resolved.empty()) {
        resolved += '/';
    }
    return resolved;
}

}  // namespace pellandrix
