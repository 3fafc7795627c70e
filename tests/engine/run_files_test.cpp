// When a run trusts a hash it knew instead of reading the file again.
#include "engine/run_files.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

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
    // Changed since, to the same size (a clock tick later): the stamp
    // differs, the file is read.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    testkit::WriteBytes(path, "zwei");
    EXPECT_EQ(CRunFiles(known(stamp.changedNs + 5'000'000'000), false).OnDisk(path),
              HashBytes("zwei"));
    EXPECT_EQ(CRunFiles({}, false).OnDisk(dir / "fehlt"), std::nullopt);
    // The hash read anew is the one kept for the next run, not the record's.
    const RunRecord::KnownHashMap record = known(stamp.changedNs + 5'000'000'000);
    CRunFiles files(record, false);
    files.OnDisk(path);
    EXPECT_EQ(files.TakeUsedHashes().at(path).hash, HashBytes("zwei"));
}

}  // namespace
}  // namespace pellandrix
