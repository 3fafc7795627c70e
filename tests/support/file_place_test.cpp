// Files named beneath a folder held open: what may be reached from it, and
// where links lead.
#include "support/file_place.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

namespace fs = std::filesystem;
using testkit::TempDir;

// The kernel's way and the walk agree on every path: within the folder it
// opens, out of it (through "..", an absolute path or any link) it refuses.
TEST(OpenBeneath, OpensWithinTheFolderOnlyAndNeverThroughALink) {
    TempDir dir;
    fs::create_directories(dir / "root/sub/deep");
    testkit::WriteBytes(dir / "root/sub/page.html", "page");
    testkit::WriteBytes(dir / "outside.html", "outside");
    fs::create_directory_symlink(dir / "root/sub", dir / "root/alias");
    fs::create_symlink(dir / "root/sub/page.html", dir / "root/link.html");
    const CFileDescriptor root(::open((dir / "root").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(root.IsOpen());
    struct Case {
        std::string path;
        bool opens;
    };
    const Case cases[] = {{"sub/page.html", true},           {"./sub/deep/../page.html", true},
                          {"sub/../sub/page.html", true},    {"../outside.html", false},
                          {"sub/../../outside.html", false}, {dir / "outside.html", false},
                          {"alias/page.html", false},        {"link.html", false}};
    for (const Case& c : cases) {
        for (auto open : {&OpenBeneath, &OpenBeneathByWalking}) {
            SCOPED_TRACE(c.path + (open == &OpenBeneath ? " (openat2)" : " (walk)"));
            const CFileDescriptor fd(open(root.Get(), c.path, O_RDONLY, 0));
            EXPECT_EQ(fd.IsOpen(), c.opens);
            if (fd.IsOpen()) {
                char text[8] = {};
                EXPECT_EQ(::read(fd.Get(), text, sizeof text), 4);
                EXPECT_STREQ(text, "page");
            }
        }
    }
}

// A link is followed to the file it leads to, from the folder holding each
// link; a chain that ends nowhere leaves the link itself.
TEST(FollowLinks, EndsAtTheFileALinkChainReachesOrAtTheLinkItself) {
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    testkit::WriteBytes(dir / "b/page.html", "page");
    fs::create_symlink("../b/page.html", dir / "b/hop.html");  // relative to b, not to a
    fs::create_symlink("../b/hop.html", dir / "a/chain.html");
    fs::create_symlink("gone.html", dir / "a/dangling.html");
    fs::create_symlink("loop.html", dir / "a/loop.html");
    struct Case {
        std::string path;
        std::string folder;
        std::string name;
    };
    const Case cases[] = {{dir / "a/chain.html", dir / "b", "page.html"},
                          {dir / "a/dangling.html", dir / "a", "dangling.html"},
                          {dir / "a/loop.html", dir / "a", "loop.html"},
                          {dir / "a/new.html", dir / "a", "new.html"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::optional<SFilePlace> place = LocateFile(c.path);
        ASSERT_TRUE(place);
        const SFilePlace reached = FollowLinks(*place);
        EXPECT_EQ(reached.folder->id, OpenFolder(c.folder)->id);
        EXPECT_EQ(reached.name, c.name);
    }
    EXPECT_FALSE(LocateFile(dir / "missing/page.html"));
}

}  // namespace
}  // namespace pellandrix
