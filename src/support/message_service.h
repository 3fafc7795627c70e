#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "support/string_table.h"

namespace pellandrix {

// Which icon a message box carries.
enum class MessageKind : int { Notice = 0, Question = 1, Error = 2 };

// The button that closed a box. Escape, the close box and a box that could
// not be shown all give Other, which no caller takes as consent.
enum class MessageAnswer : int { Ok = 0, Other = 1, Yes = 2, No = 3 };

// Button sets a caller may ask for (the Windows values, kept for callers
// that store or log them).
enum class ButtonStyle : int { Ok = 0, OkCancel = 1, YesNo = 4 };

// Shows one message to the user and waits for the answer. The desktop
// program shows a modal box, the command-line program writes a line to
// standard error, tests record the message and answer from a script.
class IMessagePresenter {
  public:
    virtual ~IMessagePresenter() = default;
    virtual MessageAnswer Present(MessageKind kind, const std::string& text,
                                  ButtonStyle buttons) = 0;
};

// Passes every message on to `inner`, first telling the listener (while one
// is set) what is about to be shown, so that a window can keep a list of a
// run's messages beside the boxes. `inner` must outlive the object.
class CListenedPresenter : public IMessagePresenter {
  public:
    using Listener = std::function<void(MessageKind kind, const std::string& text)>;
    explicit CListenedPresenter(IMessagePresenter& inner) : inner_(inner) {}

    MessageAnswer Present(MessageKind kind, const std::string& text, ButtonStyle buttons) override {
        if (listener_) {
            listener_(kind, text);
        }
        return inner_.Present(kind, text, buttons);
    }
    // Empty: nobody listens.
    void SetListener(Listener listener) { listener_ = std::move(listener); }

  private:
    IMessagePresenter& inner_;
    Listener listener_;
};

// The program's one way of showing string-table messages. Does not own the
// presenter, which must outlive the service.
class CMessageService {
  public:
    explicit CMessageService(IMessagePresenter& presenter) : presenter_(&presenter) {}

    // Shows `text` as it stands and returns the answer.
    MessageAnswer ShowMessage(MessageKind kind, const std::string& text, ButtonStyle buttons);

    // A template parse error (an error box with OK). Returns 1.
    int ShowParseError(MessageId id, std::string_view file_name, std::string_view line);
    // Any other error that needs only OK, formatted like a parse error. Returns 1.
    int ShowError(MessageId id, std::string_view first, std::string_view second = {});
    // A question with the caller's buttons; returns the answer.
    MessageAnswer AskQuestion(MessageId id, ButtonStyle buttons,
                              std::optional<std::string_view> first = std::nullopt,
                              std::string_view second = {});
    // A notice with OK. Returns 1.
    int ShowNotice(MessageId id, std::optional<std::string_view> first = std::nullopt,
                   std::string_view second = {});

    // How many messages were shown so far: a run tells by it whether
    // generating one template showed any.
    int ShownCount() const { return shown_; }
    // A run that starts over would show again what it showed before it did.
    // While a log is set to note into, every text shown is counted there;
    // while one is set to pass over, a text counted there is not shown
    // again, once per count. Null ends either.
    void NoteShownInto(std::unordered_map<std::string, int>* log) { noted_ = log; }
    void PassOver(std::unordered_map<std::string, int>* log) { passOver_ = log; }

  private:
    IMessagePresenter* presenter_;
    int shown_ = 0;
    std::unordered_map<std::string, int>* noted_ = nullptr;
    std::unordered_map<std::string, int>* passOver_ = nullptr;
};

}  // namespace pellandrix
