#include "engine/generation_context.h"

#include <gtest/gtest.h>

#include "project_fixture.h"

namespace pellandrix {
namespace {

using testkit::ProjectFixture;

// A long-lived parser runs many times: a run that must start over puts the
// pages back as that run found them, not as an earlier run did.
TEST(GenerationContext, PutsBackPagesAsThisRunFoundThem) {
    ProjectFixture p;
    p.Add("a.tpl", "a\n");
    RunRecord record;
    record.key = "k";
    CRunMemo memo(std::move(record), "k", true, false);
    p.parser.SetMemo(&memo);
    CGenerationContext& run = p.parser.Context();
    const std::string page = p.out + "/a.html";
    testkit::WriteBytes(page, "first");
    run.BeginRun();
    run.KeepOriginal(page);
    testkit::WriteBytes(page, "second");
    run.EndRun();
    // A second page is set aside behind the first and comes back whole.
    const std::string other = p.out + "/b.html";
    testkit::WriteBytes(other, std::string(100000, 'b'));
    run.BeginRun();
    run.KeepOriginal(page);
    run.KeepOriginal(other);
    testkit::WriteBytes(page, "third");
    testkit::WriteBytes(other, "changed");
    run.EndRun();
    run.PutBackOriginals();
    EXPECT_EQ(p.Out("a.html"), "second");
    EXPECT_EQ(p.Out("b.html"), std::string(100000, 'b'));
    p.parser.SetMemo(nullptr);
}

}  // namespace
}  // namespace pellandrix
