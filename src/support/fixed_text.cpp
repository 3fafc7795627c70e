#include "support/fixed_text.h"

namespace pellandrix {

namespace {

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the UTF-8 sequence a lead byte announces, or 0 for a byte that
// cannot start one.
std::size_t SequenceLength(unsigned char lead) {
    if ((lead & 0xE0) == 0xC0) {
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        return 4;
    }
    return 0;
}

}  // namespace

std::string_view CutToWidth(std::string_view text, std::size_t max_bytes) {
    if (text.size() <= max_bytes) {
        return text;
    }
    // Walk back over continuation bytes to the lead byte of the character
    // that straddles the cut; drop it only when it really is a complete
    // UTF-8 sequence that the cut would break.
    std::size_t lead = max_bytes;
    while (lead > 0 && max_bytes - lead < 3 &&
           IsContinuation(static_cast<unsigned char>(text[lead]))) {
        --lead;
    }
    if (lead < max_bytes || IsContinuation(static_cast<unsigned char>(text[max_bytes]))) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(text[lead]));
        bool complete = length > 0 && lead + length <= text.size();
        for (std::size_t i = 1; complete && i < length; ++i) {
            complete = IsContinuation(static_cast<unsigned char>(text[lead + i]));
        }
        if (complete && lead + length > max_bytes) {
            return text.substr(0, lead);
        }
    }
    return text.substr(0, max_bytes);
}

}  // namespace pellandrix
