#pragma once

#include <ostream>

#include "engine/run_view.h"

namespace pellandrix::cli {

// The generation run's view on a terminal: a one-line progress bar redrawn
// in place on standard error. Rows and buttons have nothing to show here.
// When `enabled` is false (standard error is no terminal) it shows nothing.
class CProgressView : public IRunView {
  public:
    CProgressView(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}

    void RefreshRowStatus(int) override {}
    void SetProgressRange(int lowest, int highest) override;
    void SetProgressPos(int position) override;
    // Removes the bar from the terminal line, if one is shown.
    void Clear();

  private:
    void Draw();

    std::ostream& err_;
    bool enabled_;
    bool shown_ = false;
    int lowest_ = 0;
    int highest_ = 100;
    int position_ = 0;
};

}  // namespace pellandrix::cli
