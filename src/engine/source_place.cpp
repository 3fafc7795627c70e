#include "engine/source_place.h"

namespace pellandrix {

std::string PlaceText(const SourcePlace& place) {
    if (place.line > 0) {
        return place.path + ':' + std::to_string(place.line);
    }
    return place.path;
}

std::string PlacedMessage(const std::string& text, const std::vector<SourcePlace>& places) {
    if (places.empty()) {
        return text;
    }
    std::string placed = PlaceText(places.front()) + ": " + text;
    for (std::size_t i = 1; i < places.size(); ++i) {
        // An including place always names its #include line.
        placed += "\n  eingebunden von " + places[i].path + ':' + std::to_string(places[i].line);
    }
    return placed;
}

}  // namespace pellandrix
