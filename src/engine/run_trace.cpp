#include "engine/run_trace.h"

#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pellandrix {

namespace {

// Bumped whenever the layout or the meaning of a step changes, so that an
// older record reads as none and every step is done again.
constexpr std::uint8_t kTraceFormat = 2;

// Small numbers and the paths a step repeats take little room: a run of
// 20,000 pages holds every trace in memory at once. A number is written in
// sevens of bits, low first, the top bit saying that more follow. A text is
// a number: twice its length before its bytes when new, or twice the index
// of an earlier text of the same trace plus one; empty texts are not
// numbered.
constexpr std::uint8_t kHasHash = 0x80;

void PutNumber(std::string& out, std::uint32_t value) {
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7f) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

// Texts are looked up by view: the trace being written outlives this.
class Writer {
  public:
    void PutText(std::string& out, const std::string& text) {
        if (!text.empty()) {
            const auto [at, added] =
                texts_.emplace(text, static_cast<std::uint32_t>(texts_.size()));
            if (!added) {
                PutNumber(out, 2 * at->second + 1);
                return;
            }
        }
        PutNumber(out, static_cast<std::uint32_t>(2 * text.size()));
        out += text;
    }

  private:
    std::unordered_map<std::string_view, std::uint32_t> texts_;
};

class Reader {
  public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool GetByte(std::uint8_t& value) {
        if (at_ == bytes_.size()) {
            return false;
        }
        value = static_cast<std::uint8_t>(bytes_[at_++]);
        return true;
    }
    bool GetNumber(std::uint32_t& value) {
        value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            std::uint8_t byte = 0;
            if (!GetByte(byte)) {
                return false;
            }
            value |= static_cast<std::uint32_t>(byte & 0x7f) << shift;
            if ((byte & 0x80) == 0) {
                return true;
            }
        }
        return false;
    }
    bool GetHash(ContentHash& hash) {
        if (bytes_.size() - at_ < sizeof(hash)) {
            return false;
        }
        std::memcpy(&hash, bytes_.data() + at_, sizeof(hash));
        at_ += sizeof(hash);
        return true;
    }
    bool GetText(std::string& text) {
        std::uint32_t number = 0;
        if (!GetNumber(number)) {
            return false;
        }
        if (number % 2 == 1) {
            if (number / 2 >= texts_.size()) {
                return false;
            }
            text = texts_[number / 2];
            return true;
        }
        const std::uint32_t size = number / 2;
        if (bytes_.size() - at_ < size) {
            return false;
        }
        const std::string_view read(bytes_.data() + at_, size);
        at_ += size;
        text = read;
        if (!read.empty()) {
            texts_.push_back(read);
        }
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }

  private:
    const std::string& bytes_;
    std::size_t at_ = 0;
    std::vector<std::string_view> texts_;  // into bytes_
};

bool GetStep(Reader& in, TraceStep& step) {
    std::uint8_t op = 0;
    std::uint32_t entry = 0;
    if (!in.GetByte(op) || !in.GetNumber(entry) || !in.GetByte(step.flags) ||
        !in.GetText(step.path) || !in.GetText(step.other)) {
        return false;
    }
    const bool hasHash = (op & kHasHash) != 0;
    op &= static_cast<std::uint8_t>(~kHasHash);
    if (op < 1 || op > 6) {
        return false;
    }
    step.op = static_cast<TraceOp>(op);
    step.entry = static_cast<int>(entry);
    if (hasHash) {
        ContentHash hash;
        if (!in.GetHash(hash)) {
            return false;
        }
        step.hash = hash;
    }
    return true;
}

}  // namespace

std::string EncodeTrace(const Trace& trace) {
    std::string out;
    out += static_cast<char>(kTraceFormat);
    out += static_cast<char>(trace.clean ? 1 : 0);
    Writer texts;
    for (const TraceStep& step : trace.steps) {
        out += static_cast<char>(static_cast<std::uint8_t>(step.op) | (step.hash ? kHasHash : 0));
        PutNumber(out, static_cast<std::uint32_t>(step.entry));
        out += static_cast<char>(step.flags);
        texts.PutText(out, step.path);
        texts.PutText(out, step.other);
        if (step.hash) {
            out.append(reinterpret_cast<const char*>(&*step.hash), sizeof(*step.hash));
        }
    }
    return out;
}

std::optional<Trace> DecodeTrace(const std::string& bytes) {
    Reader in(bytes);
    std::uint8_t format = 0;
    std::uint8_t clean = 0;
    if (!in.GetByte(format) || format != kTraceFormat || !in.GetByte(clean)) {
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
