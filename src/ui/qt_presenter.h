#pragma once

#include <QString>

#include <deque>
#include <string>
#include <vector>

#include "support/message_service.h"

namespace pellandrix::ui {

// Shows the program's messages in modal Qt message boxes: icon by
// kind (Notice: warning, Question: question, Error: critical), buttons by
// style, title "pellandrix", owned by the active modal dialog (else the
// active window) and modal to it only. Escape or the close box give
// MessageAnswer::Other. The text can be selected with the mouse, and a
// path in it stands whole on a line of its own (BoxText).
//
// Test hooks: after ScriptAnswers no box is shown any more; each message is
// recorded and answered with the next scripted answer (Other once the
// script is used up) until StopScripting. Shown() lists every message
// presented (scripted or not) since the last ClearShown().
class CQtPresenter : public IMessagePresenter {
  public:
    MessageAnswer Present(MessageKind kind, const std::string& text, ButtonStyle buttons) override;

    // Window title of the boxes: the executable's name.
    static constexpr const char* kTitle = "pellandrix";

    // `text` as the box shows it: rich text in which every blank and line
    // break stays as it is and lines wrap at blanks, but a word holding a
    // "/" (a path) stands whole on a line of its own, never broken.
    static QString BoxText(const std::string& text);

    static void ScriptAnswers(std::deque<MessageAnswer> answers);
    static void StopScripting();
    static bool Scripting();
    static std::vector<std::string> Shown();
    static void ClearShown();
};

}  // namespace pellandrix::ui
