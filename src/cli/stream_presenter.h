#pragma once

#include <functional>
#include <ostream>
#include <vector>

#include "engine/source_place.h"
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

    // Asked, for each message, where it happened: innermost place first,
    // then the places that include it. A message with a place starts with
    // "path:line: " (just "path: " for a file as a whole), and one line
    // "  eingebunden von path:line" follows per including place. Empty: the
    // messages stand as they are.
    // With `inLines` false the lines stay as they are and only the sink
    // below is told the places.
    void SetPlaces(std::function<std::vector<SourcePlace>()> hook, bool inLines = true) {
        places_ = std::move(hook);
        placesInLines_ = inLines;
    }

    // Told every message after its line was written, with its kind, its
    // text as the line has it without places, and its places (as SetPlaces
    // found them). May be empty.
    using Sink =
        std::function<void(MessageKind, const std::string&, const std::vector<SourcePlace>&)>;
    void SetSink(Sink sink) { sink_ = std::move(sink); }

    // Told the text of every message after it was written. May be empty.
    void SetListener(std::function<void(const std::string&)> hook) { listener_ = std::move(hook); }

  private:
    std::ostream& err_;
    int errors_ = 0;
    std::function<void()> beforeLine_;
    std::function<std::vector<SourcePlace>()> places_;
    bool placesInLines_ = true;
    Sink sink_;
    std::function<void(const std::string&)> listener_;
};

}  // namespace pellandrix::cli
