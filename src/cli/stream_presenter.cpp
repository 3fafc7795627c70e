#include "cli/stream_presenter.h"

namespace pellandrix::cli {

MessageAnswer CStreamPresenter::Present(MessageKind kind, const std::string& text,
                                        ButtonStyle buttons) {
    if (beforeLine_) {
        beforeLine_();
    }
    const std::vector<SourcePlace> places = places_ ? places_() : std::vector<SourcePlace>();
    if (!places.empty()) {
        err_ << places.front().path;
        if (places.front().line > 0) {
            err_ << ':' << places.front().line;
        }
        err_ << ": ";
    }
    err_ << text << '\n';
    for (std::size_t i = 1; i < places.size(); ++i) {
        err_ << "  eingebunden von " << places[i].path << ':' << places[i].line << '\n';
    }
    err_.flush();
    if (kind == MessageKind::Error) {
        ++errors_;
    }
    return buttons == ButtonStyle::Ok ? MessageAnswer::Ok : MessageAnswer::Other;
}

}  // namespace pellandrix::cli
