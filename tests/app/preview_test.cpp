// The live preview's parts that need no server: where site paths lead,
// where the live script goes into a page, and HTTP dates.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/preview_content.h"
#include "app/preview_files.h"
#include "app/preview_site.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

TEST(PreviewSite, FoldersOutsideTheFirstAreMountedThoseInsideItAreNot) {
    testkit::TempDir dir;
    for (const char* folder : {"out/sub", "other"}) {
        std::filesystem::create_directories(dir.Path() / folder);
    }
    testkit::WriteBytes(dir / "other/x.html", "x");
    const CPreviewSite site({dir / "out", dir / "out/sub/", dir / "other"});

    EXPECT_EQ(site.Mounts(), std::vector<std::string>{"/~2/"});
    const auto found = site.Resolve("/~2/x%2Ehtml");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->urlPath, "/~2/x.html");
    EXPECT_FALSE(found->folder);
    EXPECT_EQ(site.UrlOf(dir / "other/x.html"), "/~2/x.html");
    EXPECT_EQ(site.UrlOf(dir / "out/sub/y.html"), "/sub/y.html");
    EXPECT_EQ(site.UrlOf(dir / "outside.html"), std::nullopt);
    EXPECT_FALSE(site.Resolve("/~3/x.html"));
    EXPECT_FALSE(site.Resolve("/~2/../other/x.html"));
}

TEST(PreviewSite, APathIsNotYetThereOnlyWhereARunCouldStillWriteIt) {
    testkit::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "out/sub");
    testkit::WriteBytes(dir / "out/x.html", "x");
    const CPreviewSite site({dir / "out", dir / "later"});

    EXPECT_EQ(site.NotYetThere("/sub/neu%20seite.html"), "/sub/neu seite.html");
    // A target folder the first run has not made yet.
    EXPECT_EQ(site.NotYetThere("/~2/"), "/~2/");
    EXPECT_EQ(site.NotYetThere("/~2/a/b.html"), "/~2/a/b.html");
    EXPECT_FALSE(site.NotYetThere("/sub/"));
    EXPECT_FALSE(site.NotYetThere("/x.html/y.html"));
    EXPECT_FALSE(site.NotYetThere("/sub/../neu.html"));
}

TEST(PreviewContent, TheLiveScriptGoesBeforeTheLastBodyEndElseAtTheEnd) {
    const std::string tag =
        R"(<script src="/.pellandrix/live.js" data-page="/a&quot;b.html" data-run="7.2"></script>)";
    EXPECT_EQ(WithLiveScript("<body>a</body>b</BODY >", "/a\"b.html", "7.2"),
              "<body>a</body>b" + tag + "</BODY >");
    EXPECT_EQ(WithLiveScript("<p>a</p></Html>\n", "/a\"b.html", "7.2"),
              "<p>a</p>" + tag + "</Html>\n");
    EXPECT_EQ(WithLiveScript("nur Text", "/a\"b.html", "7.2"), "nur Text" + tag);
}

TEST(PreviewFiles, HttpDatesReadBackAndNothingElseIsOne) {
    EXPECT_EQ(HttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(ParseHttpDate(HttpDate(1796617988)), 1796617988);
    EXPECT_EQ(ParseHttpDate("gestern"), std::nullopt);
    EXPECT_EQ(ParseHttpDate("Thu, 01 Foo 1970 00:00:00 GMT"), std::nullopt);
}

}  // namespace
}  // namespace pellandrix
