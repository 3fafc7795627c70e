#include "cli/progress_view.h"

#include <algorithm>
#include <string>

namespace pellandrix::cli {

namespace {
constexpr int kWidth = 40;
}

void CProgressView::SetProgressRange(int lowest, int highest) {
    lowest_ = lowest;
    highest_ = std::max(highest, lowest + 1);
}

void CProgressView::SetProgressPos(int position) {
    position_ = position;
    Draw();
}

void CProgressView::Draw() {
    if (!enabled_) {
        return;
    }
    // Like a progress bar control: below the range is empty, above is full.
    const int clamped = std::clamp(position_, lowest_, highest_);
    const int filled = (clamped - lowest_) * kWidth / (highest_ - lowest_);
    err_ << '\r' << '[' << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << clamped << '/'
         << highest_ << std::flush;
    shown_ = true;
}

void CProgressView::Clear() {
    if (shown_) {
        err_ << '\r' << std::string(kWidth + 24, ' ') << '\r' << std::flush;
        shown_ = false;
    }
}

}  // namespace pellandrix::cli
