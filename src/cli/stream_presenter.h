#pragma once

#include <functional>
#include <ostream>

#include "support/message_service.h"

namespace pellandrix::cli {

// Shows every message as one line on an output stream (standard error) and
// counts the errors among them. Questions are never asked by the
// command-line program; should one come, it is answered Other, which no
// caller takes as consent.
class CStreamPresenter : public IMessagePresenter {
  public:
    explicit CStreamPresenter(std::ostream& err) : err_(err) {}

    MessageAnswer Present(MessageKind kind, const std::string& text, ButtonStyle buttons) override;

    int ErrorCount() const { return errors_; }

    // Called before a line is written, so that a progress bar on the same
    // terminal can clear itself first. May be empty.
    void SetBeforeLine(std::function<void()> hook) { beforeLine_ = std::move(hook); }

  private:
    std::ostream& err_;
    int errors_ = 0;
    std::function<void()> beforeLine_;
};

}  // namespace pellandrix::cli
