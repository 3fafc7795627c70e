#include "engine/held_texts.h"

#include <algorithm>
#include <utility>

namespace pellandrix {

CHeldTexts::Known* CHeldTexts::Find(const std::string& path) {
    const auto found = paths_.find(path);
    return found != paths_.end() ? found->second : nullptr;
}

void CHeldTexts::NotePlaced(const std::string& path, const SFilePlace& place, mode_t mode,
                            std::size_t size, const ContentHash& hash, bool learn) {
    const std::string key = place.Key();
    auto found = places_.find(key);
    if (found == places_.end()) {
        if (!learn) {
            return;
        }
        found = places_.emplace(key, Known{place, path, mode, size, hash, std::nullopt}).first;
    } else {
        Known& known = found->second;
        Release(known);
        known.mode = mode;
        known.largest = std::max(known.largest, size);
        known.hash = hash;
    }
    paths_.emplace(path, &found->second);
}

bool CHeldTexts::Hold(Known& known, std::string text, const ContentHash& hash) {
    const bool differs = known.hash != hash;
    Release(known);
    pendingBytes_ += text.size();
    ++pendingCount_;
    known.pending = std::move(text);
    known.hash = hash;
    return differs;
}

void CHeldTexts::Release(Known& known) {
    if (known.pending) {
        pendingBytes_ -= known.pending->size();
        --pendingCount_;
        known.pending.reset();
    }
}

void CHeldTexts::NoteReplaced(const SFilePlace& place) {
    const auto found = places_.find(place.Key());
    if (found != places_.end()) {
        Release(found->second);
        found->second.hash.reset();
    }
}

void CHeldTexts::Drop(const SFilePlace& place) {
    const auto found = places_.find(place.Key());
    if (found != places_.end()) {
        Release(found->second);
    }
}

void CHeldTexts::TakePending(const std::function<void(Known&, std::string)>& write) {
    if (!AnyPending()) {
        return;
    }
    for (auto& [key, known] : places_) {
        if (known.pending) {
            std::string text;
            text.swap(*known.pending);
            pendingBytes_ -= text.size();
            --pendingCount_;
            known.pending.reset();
            write(known, std::move(text));
        }
    }
}

void CHeldTexts::Clear() {
    paths_.clear();
    places_.clear();
    pendingBytes_ = 0;
    pendingCount_ = 0;
}

}  // namespace pellandrix
