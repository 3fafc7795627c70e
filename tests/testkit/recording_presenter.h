#pragma once

#include <deque>
#include <string>
#include <vector>

#include "support/message_service.h"

namespace pellandrix::testkit {

// Records every message shown and answers from a script; once the script
// is used up it answers Other, like a box closed with Escape.
class RecordingPresenter : public IMessagePresenter {
  public:
    struct Shown {
        MessageKind kind;
        std::string text;
        ButtonStyle buttons;
    };

    MessageAnswer Present(MessageKind kind, const std::string& text, ButtonStyle buttons) override {
        shown.push_back({kind, text, buttons});
        if (answers.empty()) {
            return MessageAnswer::Other;
        }
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const Shown& s : shown) {
            out.push_back(s.text);
        }
        return out;
    }

    std::vector<Shown> shown;
    std::deque<MessageAnswer> answers;
};

}  // namespace pellandrix::testkit
