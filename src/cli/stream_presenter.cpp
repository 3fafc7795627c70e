#include "cli/stream_presenter.h"

namespace pellandrix::cli {

MessageAnswer CStreamPresenter::Present(MessageKind kind, const std::string& text,
                                        ButtonStyle buttons) {
    if (beforeLine_) {
        beforeLine_();
    }
    err_ << PlacedMessage(text, places_ ? places_() : std::vector<SourcePlace>()) << '\n';
    err_.flush();
    if (listener_) {
        listener_(text);
    }
    if (kind == MessageKind::Error) {
        ++errors_;
    }
    return buttons == ButtonStyle::Ok ? MessageAnswer::Ok : MessageAnswer::Other;
}

}  // namespace pellandrix::cli
