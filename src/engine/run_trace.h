#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/content_hash.h"

namespace pellandrix {

// What one step of a run (generating one entry in one pass) looked at and
// did, in the order it happened. A step whose every observation still holds
// would do exactly what it did before, so an incremental run may take its
// effects instead of doing it again.
enum class TraceOp : std::uint8_t {
    // A template was opened: entry, its template path, the hash of the
    // template as read (none: it could not be opened) and the generated
    // file's path.
    Frame = 1,
    // A plain #include read `path` (hash none: it could not be opened).
    Plain = 2,
    // A template #include of `name` found `entry` (0: none) with these
    // flags; `path` is that entry's generated file.
    Include = 3,
    // The generated file `path` of an included entry was copied in as it
    // stood (hash none: it could not be opened).
    Verbatim = 4,
    // The include rule looked at whether `entry` must be generated again on
    // its own, and did mark it (kMarked) or not.
    Mark = 5,
    // The generated file `path` of `entry` was written with `hash`.
    Written = 6,
};

struct TraceStep {
    static constexpr std::uint8_t kAlwaysParse = 1;
    static constexpr std::uint8_t kDone = 2;
    static constexpr std::uint8_t kMarked = 1;

    TraceOp op = TraceOp::Frame;
    int entry = 0;
    std::uint8_t flags = 0;
    std::string path;
    std::string other;  // Frame: the generated file; Include: the name
    std::optional<ContentHash> hash;
};

struct Trace {
    // False when the step showed a message or failed: it is always done
    // again, so that its messages are shown again.
    bool clean = true;
    std::vector<TraceStep> steps;
};

std::string EncodeTrace(const Trace& trace);
// None for bytes that EncodeTrace did not make (a damaged or foreign row).
std::optional<Trace> DecodeTrace(const std::string& bytes);

}  // namespace pellandrix
