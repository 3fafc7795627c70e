#include "engine/run_trace.h"

#include <cstring>

namespace pellandrix {

namespace {

// Bumped whenever the layout or the meaning of a step changes, so that an
// older record reads as none and every step is done again.
constexpr std::uint8_t kTraceFormat = 1;

template <typename T>
void Put(std::string& out, const T& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof(T));
}

void PutText(std::string& out, const std::string& text) {
    Put(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

class Reader {
  public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    template <typename T>
    bool Get(T& value) {
        if (bytes_.size() - at_ < sizeof(T)) {
            return false;
        }
        std::memcpy(&value, bytes_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return true;
    }
    bool GetText(std::string& text) {
        std::uint32_t size = 0;
        if (!Get(size) || bytes_.size() - at_ < size) {
            return false;
        }
        text.assign(bytes_, at_, size);
        at_ += size;
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }

  private:
    const std::string& bytes_;
    std::size_t at_ = 0;
};

bool GetStep(Reader& in, TraceStep& step) {
    std::uint8_t op = 0;
    std::uint8_t hasHash = 0;
    std::int32_t entry = 0;
    if (!in.Get(op) || op < 1 || op > 6 || !in.Get(entry) || !in.Get(step.flags) ||
        !in.Get(hasHash) || !in.GetText(step.path) || !in.GetText(step.other)) {
        return false;
    }
    step.op = static_cast<TraceOp>(op);
    step.entry = entry;
    if (hasHash != 0) {
        ContentHash hash;
        if (!in.Get(hash)) {
            return false;
        }
        step.hash = hash;
    }
    return true;
}

}  // namespace

std::string EncodeTrace(const Trace& trace) {
    std::string out;
    Put(out, kTraceFormat);
    Put(out, static_cast<std::uint8_t>(trace.clean ? 1 : 0));
    for (const TraceStep& step : trace.steps) {
        Put(out, static_cast<std::uint8_t>(step.op));
        Put(out, static_cast<std::int32_t>(step.entry));
        Put(out, step.flags);
        Put(out, static_cast<std::uint8_t>(step.hash ? 1 : 0));
        PutText(out, step.path);
        PutText(out, step.other);
        if (step.hash) {
            Put(out, *step.hash);
        }
    }
    return out;
}

std::optional<Trace> DecodeTrace(const std::string& bytes) {
    Reader in(bytes);
    std::uint8_t format = 0;
    std::uint8_t clean = 0;
    if (!in.Get(format) || format != kTraceFormat || !in.Get(clean)) {
        return std::nullopt;
    }
    Trace trace;
    trace.clean = clean != 0;
    while (!in.AtEnd()) {
        if (!GetStep(in, trace.steps.emplace_back())) {
            return std::nullopt;
        }
    }
    return trace;
}

}  // namespace pellandrix
