// A step's trace survives being stored, and damaged bytes read as none.
#include "engine/run_trace.h"

#include <gtest/gtest.h>

namespace pellandrix {
namespace {

TEST(RunTrace, ComesBackAsWrittenWithRepeatedPathsAndDamagedBytesReadAsNone) {
    Trace trace;
    trace.clean = false;
    const ContentHash hash{7, 300};
    trace.steps = {{TraceOp::Frame, 5, 0, "templates/a.tpl", "out/a.html", hash},
                   {TraceOp::Include, 200000, TraceStep::kAlwaysParse, "out/kopf.html", "kopf", {}},
                   {TraceOp::Frame, 200000, 0, "templates/kopf.tpl", "out/kopf.html", hash},
                   {TraceOp::Written, -1, 0, "out/kopf.html", "", ContentHash{}},
                   {TraceOp::Mark, 3, TraceStep::kMarked, "", "", {}},
                   {TraceOp::Written, 5, 0, "out/a.html", "", hash}};
    const std::string bytes = EncodeTrace(trace);
    const std::optional<Trace> back = DecodeTrace(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->clean, trace.clean);
    ASSERT_EQ(back->steps.size(), trace.steps.size());
    for (std::size_t i = 0; i < trace.steps.size(); ++i) {
        const TraceStep& a = trace.steps[i];
        const TraceStep& b = back->steps[i];
        EXPECT_TRUE(a.op == b.op && a.entry == b.entry && a.flags == b.flags && a.path == b.path &&
                    a.other == b.other && a.hash == b.hash)
            << "step " << i;
    }
    // Cut anywhere inside the last step, or pointing at a text not yet
    // written, the bytes are no trace.
    for (std::size_t size = bytes.size() - 20; size < bytes.size(); ++size) {
        EXPECT_FALSE(DecodeTrace(bytes.substr(0, size))) << size;
    }
    std::string foreign = bytes.substr(0, 2);
    foreign += {'\x01', '\x05', '\x00', '\x09', '\x00'};
    EXPECT_FALSE(DecodeTrace(foreign));
}

}  // namespace
}  // namespace pellandrix
