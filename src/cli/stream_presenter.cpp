#include "cli/stream_presenter.h"

#include "app/preview_content.h"

namespace pellandrix::cli {

MessageAnswer CStreamPresenter::Present(MessageKind kind, const std::string& text,
                                        ButtonStyle buttons) {
    if (beforeLine_) {
        beforeLine_();
    }
    const std::vector<SourcePlace> places = places_ ? places_() : std::vector<SourcePlace>();
    for (const std::string& line : LocatedLines(text, places)) {
        err_ << line << '\n';
    }
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
