#include "support/site_url.h"

#include <gtest/gtest.h>

#include "support/html_page.h"

namespace pellandrix {
namespace {

TEST(SiteUrl, OnlyLinksWithoutSchemeOrHostStayOnTheSite) {
    for (const char* url : {"https://x/a.html", "mailto:a@b", "JavaScript:void(0)", "data:,x",
                            "//host/a.html", " \ttel:1", "C:/a.html"}) {
        EXPECT_TRUE(SplitLink(url).external) << url;
    }
    const LinkParts parts = SplitLink(" a\\b\n.html?q=#x#y ");
    EXPECT_FALSE(parts.external);
    EXPECT_EQ(parts.path, "a/b.html");
    EXPECT_EQ(parts.fragment, "x#y");
    EXPECT_EQ(SplitLink("?q").path, "");
    EXPECT_FALSE(SplitLink("a.html").fragment.has_value());
}

TEST(SiteUrl, PathsResolveAsInABrowserAndNeverClimbAboveTheRoot) {
    const struct {
        const char* from;
        const char* path;
        const char* resolved;
    } cases[] = {
        {"/a/b.html", "c.html", "/a/c.html"},
        {"/a/b.html", "../../../c.html", "/c.html"},
        {"/a/b.html", "/c/./d/", "/c/d/"},
        {"/a/b.html", "%2e%2e/x%20y.html", "/x y.html"},
        {"/a/b.html", "..%2F..%2F..%2Fetc%2Fpasswd", "/etc/passwd"},
        {"/a/b.html", "..", "/"},
        {"/a/b.html", "", "/a/b.html"},
        {"/b.html", "100%25%zz.html", "/100%%zz.html"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolveSitePath(c.from, c.path), c.resolved) << c.from << " + " << c.path;
    }
}

TEST(HtmlPage, SrcsetCandidatesAndBaseAreReadAsABrowserReadsThem) {
    // A comma inside a URL belongs to it; one ending it ends the candidate.
    EXPECT_EQ(SrcsetUrls(" a.png 1x,b,c.png, d.png (w,1) 2x ,,e.png"),
              (std::vector<std::string>{"a.png", "b,c.png", "d.png", "e.png"}));
    const HtmlPage page = ReadHtmlPage(
        "<base href=x/><base href=y/>\r\n<a name=n href='&amp;.html'></a><p name=q id=i>");
    EXPECT_EQ(page.base, "x/");
    ASSERT_EQ(page.references.size(), 1u);
    EXPECT_EQ(page.references[0].url, "&.html");
    EXPECT_EQ(page.references[0].line, 2);
    EXPECT_EQ(page.anchors, (std::unordered_set<std::string>{"n", "i"}));
}

}  // namespace
}  // namespace pellandrix
