#include "support/html_depth.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace pellandrix {

namespace {

constexpr std::array<std::string_view, 16> kVoid{
    "area", "base",  "basefont", "bgsound", "br",   "col",   "embed",  "hr",
    "img",  "input", "keygen",   "link",    "meta", "param", "source", "track"};
// Their text runs to their own end tag; nothing inside is a tag.
constexpr std::array<std::string_view, 8> kRawText{"script", "style",  "textarea", "title",
                                                   "xmp",    "iframe", "noembed",  "noframes"};

bool In(std::string_view name, const auto& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == ':' || c == '_';
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Elements that a start tag of the same group closes when it is the
// innermost open one; 0 for every other element.
int Group(std::string_view name) {
    constexpr std::array<std::pair<std::string_view, int>, 8> kGroups{{{"p", 1},
                                                                       {"li", 2},
                                                                       {"option", 3},
                                                                       {"tr", 4},
                                                                       {"td", 5},
                                                                       {"th", 5},
                                                                       {"dt", 6},
                                                                       {"dd", 6}}};
    for (const auto& [member, group] : kGroups) {
        if (member == name) {
            return group;
        }
    }
    return 0;
}

class DepthScan {
  public:
    DepthScan(std::string_view bytes, std::size_t limit) : bytes_(bytes), limit_(limit) {}

    bool TooDeep() {
        while (!tooDeep_ && (at_ = bytes_.find('<', at_)) != std::string_view::npos) {
            Tag();
        }
        return tooDeep_;
    }

  private:
    void Tag() {
        if (bytes_.substr(at_, 4) == "<!--") {
            SkipPast("-->", at_ + 4);
            return;
        }
        const bool end = at_ + 1 < bytes_.size() && bytes_[at_ + 1] == '/';
        std::size_t pos = at_ + 1 + (end ? 1 : 0);
        std::string name;
        while (pos < bytes_.size() && IsNameChar(bytes_[pos])) {
            name += Lower(bytes_[pos++]);
        }
        if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) {
            ++at_;  // "<!DOCTYPE", "<?", a "<" in text: no element
            return;
        }
        const bool selfClosing = TagEndsSelfClosing(pos);
        if (end) {
            Close(name);
        } else {
            Open(name, selfClosing);
        }
    }

    void Open(const std::string& name, bool selfClosing) {
        if (In(name, kVoid) || (selfClosing && foreign_ > 0)) {
            return;
        }
        if (In(name, kRawText)) {
            SkipPastEndTag(name);
            return;
        }
        if (name == "plaintext") {
            at_ = bytes_.size();
            return;
        }
        if (name == "tr") {
            while (!open_.empty() && Group(open_.back()) == Group("td")) {
                Pop();  // a new row ends the open cell
            }
        }
        if (!open_.empty() && Group(name) != 0 && Group(open_.back()) == Group(name)) {
            Pop();
        }
        foreign_ += name == "svg" || name == "math" ? 1 : 0;
        open_.push_back(name);
        tooDeep_ = open_.size() > limit_;
    }

    void Close(const std::string& name) {
        // Never more than `limit_` are open, so the search stays short.
        const auto match = std::find(open_.rbegin(), open_.rend(), name);
        if (match == open_.rend()) {
            return;  // closes nothing: a browser ignores it
        }
        const std::size_t keep =
            open_.size() - 1 - static_cast<std::size_t>(match - open_.rbegin());
        while (open_.size() > keep) {
            Pop();
        }
    }

    void Pop() {
        foreign_ -= open_.back() == "svg" || open_.back() == "math" ? 1 : 0;
        open_.pop_back();
    }

    // Moves past the tag whose attributes start at `pos` (quoted values
    // may hold ">"); tells whether it ends with "/>".
    bool TagEndsSelfClosing(std::size_t pos) {
        at_ = SkipTagFrom(pos);
        return at_ >= 2 && at_ <= bytes_.size() && bytes_[at_ - 2] == '/';
    }

    std::size_t SkipTagFrom(std::size_t pos) const {
        char quote = 0;
        char last = 0;  // the last character outside blanks: a quote opens a value after "="
        for (; pos < bytes_.size(); ++pos) {
            const char c = bytes_[pos];
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if ((c == '"' || c == '\'') && last == '=') {
                quote = c;
            } else if (c == '>') {
                return pos + 1;
            }
            last = std::isspace(static_cast<unsigned char>(c)) != 0 ? last : c;
        }
        return bytes_.size();
    }

    // Past "</name", in any case, after the current position.
    void SkipPastEndTag(const std::string& name) {
        for (std::size_t pos = at_; (pos = bytes_.find("</", pos)) != std::string_view::npos;
             ++pos) {
            const std::string_view candidate = bytes_.substr(pos + 2, name.size());
            if (std::equal(candidate.begin(), candidate.end(), name.begin(), name.end(),
                           [](char a, char b) { return Lower(a) == b; })) {
                at_ = pos + 2 + name.size();
                return;
            }
        }
        at_ = bytes_.size();
    }

    void SkipPast(const std::string& text, std::size_t from) {
        const std::size_t found = bytes_.find(text, from);
        at_ = found == std::string_view::npos ? bytes_.size() : found + text.size();
    }

    std::string_view bytes_;
    std::size_t limit_;
    std::size_t at_ = 0;
    std::vector<std::string> open_;
    int foreign_ = 0;
    bool tooDeep_ = false;
};

}  // namespace

bool NestsDeeperThan(std::string_view bytes, std::size_t limit) {
    return DepthScan(bytes, limit).TooDeep();
}

}  // namespace pellandrix
