#pragma once

#include <string>

#include "engine/run_view.h"
#include "support/message_service.h"

namespace pellandrix::bench {

// Answers every message at once and shows nothing, so that a benchmark
// measures the run alone.
class SilentPresenter : public IMessagePresenter {
  public:
    MessageAnswer Present(MessageKind, const std::string&, ButtonStyle) override {
        return MessageAnswer::Ok;
    }
};

// A run view that shows nothing.
struct NoView : IRunView {
    void RefreshRowStatus(int) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPos(int) override {}
};

}  // namespace pellandrix::bench
