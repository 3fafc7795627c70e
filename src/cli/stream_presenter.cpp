#include "cli/stream_presenter.h"

namespace pellandrix::cli {

MessageAnswer CStreamPresenter::Present(MessageKind kind, const std::string& text,
                                        ButtonStyle buttons) {
    if (beforeLine_) {
        beforeLine_();
    }
    const std::vector<SourcePlace> places = places_ ? places_() : std::vector<SourcePlace>();
    err_ << PlacedMessage(text, placesInLines_ ? places : std::vector<SourcePlace>()) << '\n';
    err_.flush();
    if (listener_) {
        listener_(text);
    }
    if (sink_) {
        sink_(kind, text, places);
    }
    if (kind == MessageKind::Error) {
        ++errors_;
    }
    return buttons == ButtonStyle::Ok ? MessageAnswer::Ok : MessageAnswer::Other;
}

}  // namespace pellandrix::cli
