// When a run trusts a hash it knew instead of reading the file again.
#include "engine/run_files.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "engine/page_links.h"
#include "project_fixture.h"
#include "testkit/files.h"
#include "testkit/temp_dir.h"

namespace pellandrix {
namespace {

TEST(RunFiles, AKnownHashIsTrustedOnlyWhileTheFileIsSettledAndUnchanged) {
    testkit::TempDir dir;
    const std::string path = dir / "a.tpl";
    testkit::WriteBytes(path, "eins");
    const FileStamp stamp = *StampOfPath(path);
    // A hash that is not the file's: only trusting it can return it.
    const ContentHash remembered{1, 2};
    const auto known = [&](std::int64_t verifiedNs) {
        return RunRecord::KnownHashMap{{path, {stamp, remembered, verifiedNs}}};
    };

    // Hashed long after the file last changed: trusted.
    EXPECT_EQ(CRunFiles(known(stamp.changedNs + 5'000'000'000), false).OnDisk(path), remembered);
    // Hashed within the file's last clock tick or so: a change in that tick
    // would not show in the stamp, so the file is read.
    EXPECT_EQ(CRunFiles(known(stamp.changedNs + 1'000'000), false).OnDisk(path), HashBytes("eins"));
    // Changed since, to the same size (written again until a clock tick
    // shows in the stamp): the stamp differs, the file is read.
    do {
        testkit::WriteBytes(path, "zwei");
    } while (*StampOfPath(path) == stamp);
    EXPECT_EQ(CRunFiles(known(stamp.changedNs + 5'000'000'000), false).OnDisk(path),
              HashBytes("zwei"));
    EXPECT_EQ(CRunFiles({}, false).OnDisk(dir / "fehlt"), std::nullopt);
    // The hash read anew is the one kept for the next run, not the record's.
    RunRecord::KnownHashMap record = known(stamp.changedNs + 5'000'000'000);
    CRunFiles files(record, false);
    files.OnDisk(path);
    std::vector<std::string> changed;
    EXPECT_EQ(files.TakeUsedHashes(record, &changed).at(path).hash, HashBytes("zwei"));
    EXPECT_EQ(changed, std::vector<std::string>{path});
    EXPECT_TRUE(record.empty());  // moved, not copied
}

// A page that is a link to another page is that page's file to the run,
// whichever path it takes; a link the run deletes is gone itself, and one
// whose end it deleted is replaced by a file of its own.
TEST(RunFiles, KnowsAFileByWhereALinkBetweenPagesLeads) {
    namespace fs = std::filesystem;
    testkit::ProjectFixture p;
    fs::create_directory(p.dir / "out2");
    p.Add("a.tpl", nullptr);
    p.Add("b.tpl", nullptr).TargetPath = p.dir / "out2";
    const std::string linked = p.out + "/a.html", page = p.dir / "out2/b.html";
    const std::string dangling = p.out + "/d.html", later = p.dir / "out2/later.html";
    testkit::WriteBytes(page, "B");
    fs::create_symlink("../out2/b.html", linked);
    fs::create_symlink("../out2/later.html", dangling);
    COutputGuard guard;
    guard.Reset(p.files);
    CRunFiles files({}, true);
    files.SetLinks(FindPageLinks(guard));

    files.NoteWritten(linked, HashBytes("A"), false, "A");
    EXPECT_EQ(files.Current(page), HashBytes("A"));
    EXPECT_EQ(files.Written().count(linked), 0U);
    ASSERT_TRUE(files.DryText(page));
    EXPECT_EQ(*files.DryText(page), "A");
    EXPECT_EQ(files.Current(dangling), std::nullopt);
    files.NoteWritten(later, HashBytes("L"), false, "L");
    EXPECT_EQ(files.Current(dangling), HashBytes("L"));

    files.NoteDeleted(linked);
    EXPECT_EQ(files.Current(linked), std::nullopt);
    EXPECT_EQ(files.Current(page), HashBytes("A"));
    files.NoteDeleted(later);
    files.NoteWritten(dangling, HashBytes("D"), false, "D");
    EXPECT_EQ(files.Current(later), std::nullopt);
    EXPECT_EQ(files.Current(dangling), HashBytes("D"));
}

}  // namespace
}  // namespace pellandrix
