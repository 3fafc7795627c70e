// Broken links: what the generated pages point to inside the site and
// what is there.
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "app/site_check.h"
#include "engine/template_paths.h"
#include "support/html_page.h"
#include "support/site_url.h"

namespace pellandrix {

namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 4> kHtmlExtensions{"html", "htm", "shtml", "xhtml"};

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::optional<std::string> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    if (!in || !(bytes << in.rdbuf())) {
        return std::nullopt;
    }
    return bytes.str();
}

fs::path Canonical(const std::string& folder) {
    std::error_code ignored;
    return fs::weakly_canonical(folder.empty() ? "." : folder, ignored);
}

bool IsFolder(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// How a finding names a file of the site: from the working folder when it
// lies below it, else in full.
std::string Shown(const fs::path& path) {
    std::error_code ignored;
    const fs::path relative = path.lexically_relative(fs::current_path(ignored));
    return relative.empty() || *relative.begin() == ".." ? path.string() : relative.string();
}

// A URL in one line of text, whatever the attribute held.
std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return text;
}

// One page to check: where it is, and where its site starts.
struct Page {
    std::string path;      // as the run writes it
    fs::path root;         // the folder "/" stands for
    std::string sitePath;  // the page's own path below the root, from "/"
};

class LinkChecker {
  public:
    explicit LinkChecker(std::vector<SiteFinding>& findings) : findings_(findings) {}

    void Check(const Page& page) {
        const std::optional<std::string> bytes = ReadWhole(page.path);
        if (!bytes) {
            return;
        }
        const HtmlPage html = ReadHtmlPage(*bytes);
        const std::string file = (page.root / page.sitePath.substr(1)).string();
        anchors_[file] = html.anchors;
        if (html.tooDeep) {
            unread_.insert(file);
            findings_.push_back({SiteFinding::Kind::BrokenLink, page.path, 1,
                                 "Die Seite ist tiefer als " + std::to_string(kMaxHtmlDepth) +
                                     " Ebenen verschachtelt; ihre Verweise werden nicht geprüft."});
            return;
        }
        std::string from = page.sitePath;
        if (html.base) {
            const LinkParts base = SplitLink(*html.base);
            if (base.external) {
                return;  // every link of the page leads off the site
            }
            from = ResolveSitePath(page.sitePath, base.path);
        }
        for (const HtmlPage::Reference& reference : html.references) {
            const LinkParts link = SplitLink(reference.url);
            if (!link.external) {
                CheckLink(page, reference, link, ResolveSitePath(from, link.path));
            }
        }
    }

  private:
    void CheckLink(const Page& page, const HtmlPage::Reference& reference, const LinkParts& link,
                   const std::string& sitePath) {
        fs::path target = page.root / sitePath.substr(1);
        if (sitePath.ends_with('/') || IsFolder(target)) {
            const std::optional<fs::path> index = IndexOf(target);
            if (!index) {
                Broken(page, reference, Shown(target / "") + " hat keine index.html");
                return;
            }
            target = *index;
        } else if (!IsFile(target)) {
            Broken(page, reference, Shown(target) + " fehlt");
            return;
        }
        if (!link.fragment || link.fragment->empty() || !IsHtml(target)) {
            return;
        }
        const std::string& fragment = *link.fragment;
        const std::unordered_set<std::string>& anchors = AnchorsOf(target);
        if (unread_.count(target.string()) != 0) {
            return;  // its anchors are unknown, not missing
        }
        // "#top" is the top of any page; an id may be named encoded or not.
        if (EqualsTop(fragment) || anchors.count(fragment) != 0 ||
            anchors.count(PercentDecoded(fragment)) != 0) {
            return;
        }
        Broken(page, reference, Shown(target) + " hat keinen Anker \"" + OneLine(fragment) + "\"");
    }

    void Broken(const Page& page, const HtmlPage::Reference& reference, const std::string& why) {
        findings_.push_back(
            {SiteFinding::Kind::BrokenLink, page.path, reference.line,
             "Verweis auf \"" + OneLine(reference.url) + "\" führt ins Leere: " + why});
    }

    static std::optional<fs::path> IndexOf(const fs::path& folder) {
        for (std::string_view extension : kHtmlExtensions) {
            fs::path index = folder / ("index." + std::string(extension));
            if (IsFile(index)) {
                return index;
            }
        }
        return std::nullopt;
    }

    static bool IsHtml(const fs::path& file) {
        const std::string extension = file.extension().string();
        return !extension.empty() && IsHtmlExtension(std::string_view(extension).substr(1));
    }

    static bool EqualsTop(const std::string& fragment) {
        return fragment.size() == 3 && AsciiLower(fragment[0]) == 't' &&
               AsciiLower(fragment[1]) == 'o' && AsciiLower(fragment[2]) == 'p';
    }

    // The anchors of the page `file`, each page read once.
    const std::unordered_set<std::string>& AnchorsOf(const fs::path& file) {
        auto [known, added] = anchors_.try_emplace(file.string());
        if (added) {
            if (const std::optional<std::string> bytes = ReadWhole(file)) {
                HtmlPage page = ReadHtmlPage(*bytes);
                known->second = std::move(page.anchors);
                if (page.tooDeep) {
                    unread_.insert(file.string());
                }
            }
        }
        return known->second;
    }

    std::vector<SiteFinding>& findings_;
    std::unordered_map<std::string, std::unordered_set<std::string>> anchors_;
    // The pages nested too deep to be read.
    std::unordered_set<std::string> unread_;
};

// The folder "/" stands for on a page in `folder`, and the folder's path
// below it.
std::pair<fs::path, std::string> SiteOf(const fs::path& projectRoot, const fs::path& folder) {
    if (!projectRoot.empty()) {
        const fs::path below = folder.lexically_relative(projectRoot);
        if (!below.empty() && *below.begin() != "..") {
            const std::string path = below == "." ? "/" : "/" + below.generic_string() + "/";
            return {projectRoot, path};
        }
    }
    return {folder, "/"};
}

}  // namespace

bool IsHtmlExtension(std::string_view extension) {
    return std::any_of(kHtmlExtensions.begin(), kHtmlExtensions.end(), [&](std::string_view html) {
        return std::equal(html.begin(), html.end(), extension.begin(), extension.end(),
                          [](char a, char b) { return a == AsciiLower(b); });
    });
}

std::vector<SiteFinding> FindBrokenLinks(const CProjectRecord& project, const CTplFileList& files) {
    std::vector<SiteFinding> findings;
    LinkChecker checker(findings);
    const fs::path projectRoot =
        project.TargetPath.str().empty() ? fs::path() : Canonical(project.TargetPath.str());
    std::unordered_set<std::string> checked;
    for (const CTplFileRecord& entry : files.Records()) {
        if (entry.Deleted || !entry.CreateFile || !IsHtmlExtension(entry.CreateFileExt)) {
            continue;
        }
        const std::string base = TemplateBaseName(entry.TPLFileName);
        const std::string path = GeneratedFilePath(entry.TargetPath, base, entry.CreateFileExt);
        if (!checked.insert(path).second) {
            continue;
        }
        const auto [root, folder] = SiteOf(projectRoot, Canonical(entry.TargetPath.str()));
        checker.Check({path, root, folder + base + "." + entry.CreateFileExt.str()});
    }
    return findings;
}

}  // namespace pellandrix
