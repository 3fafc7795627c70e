#include "engine/define_table.h"

#include <algorithm>
#include <memory>

namespace pellandrix {

namespace {

// Replaces every occurrence of `name` in `text`, left to right, resuming
// behind each one. Returns whether there was any. `out` is a work buffer,
// passed in so that its capacity is reused from line to line.
bool ReplaceEvery(std::string& text, const std::string& name, const std::string& value,
                  std::string& out) {
    std::size_t pos = text.find(name);
    if (pos == std::string::npos) {
        return false;
    }
    out.clear();
    std::size_t done = 0;
    while (pos != std::string::npos) {
        out.append(text, done, pos - done);
        out.append(value);
        done = pos + name.size();
        pos = text.find(name, done);
    }
    out.append(text, done, std::string::npos);
    text.swap(out);
    return true;
}

void SortByTableOrder(std::vector<const CDefineEntry*>& entries) {
    std::sort(entries.begin(), entries.end(), [](const CDefineEntry* a, const CDefineEntry* b) {
        return a->Position() < b->Position();
    });
}

}  // namespace

void CDefineTable::Clear() {
    matcher_.Clear();
    byName_.clear();
    entries_.Clear();
    unsorted_ = 0;
}

CDefineEntry* CDefineTable::Add(std::string_view name, std::string_view value) {
    CDefineEntry* entry = entries_.Append(std::make_unique<CDefineEntry>(name, value));
    ++unsorted_;
    // The key views the entry's own name, which lives as long as the entry.
    byName_.emplace(entry->name, entry);
    if (!entry->name.empty()) {
        matcher_.Insert(entry);
    }
    return entry;
}

CDefineEntry* CDefineTable::Find(std::string_view name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

void CDefineTable::Remove(CDefineEntry* entry) {
    const auto it = byName_.find(entry->name);
    if (it != byName_.end() && it->second == entry) {
        byName_.erase(it);
    }
    matcher_.Erase(entry);
    const std::size_t sorted = static_cast<std::size_t>(entries_.Count()) - unsorted_;
    if (static_cast<std::size_t>(entry->Position()) >= sorted) {
        --unsorted_;
    }
    entries_.Remove(entry);
}

void CDefineTable::SortByNameLength() {
    // Every Add is followed by a sort, so only the entries added since the
    // last sort are out of place: each is moved to its place behind the
    // names of at least its length. A full sort per definition would make a
    // header of thousands of defines cost n² log n.
    const std::size_t sorted = static_cast<std::size_t>(entries_.Count()) - unsorted_;
    entries_.SortTail(sorted, [](const CDefineEntry& a, const CDefineEntry& b) {
        return a.name.size() > b.name.size();
    });
    unsorted_ = 0;
}

bool CDefineTable::Substitute(std::string& text) const {
    if (entries_.Empty()) {
        return true;
    }
    // Only the entries whose names occur matter, so the matcher finds them
    // all in one pass and they are replaced in table order. A replacement
    // can make later names appear (in the value or across its joints) or
    // vanish (when it overlapped them), so the text is searched again for
    // the entries behind it. A name equal to its value leaves the text as
    // it was and needs no new search.
    matcher_.FindOccurring(text, -1, &occurring_);
    SortByTableOrder(occurring_);
    std::size_t next = 0;
    while (next < occurring_.size()) {
        const CDefineEntry& entry = *occurring_[next];
        if (ReplaceEvery(text, entry.name, entry.value, scratch_) && entry.value != entry.name) {
            if (text.size() > kMaxSubstitutedLength) {
                return false;
            }
            matcher_.FindOccurring(text, entry.Position(), &occurring_);
            SortByTableOrder(occurring_);
            next = 0;
        } else {
            ++next;
        }
    }
    return true;
}

bool CDefineTable::SubstituteEntryByEntry(std::string& text) const {
    std::string out;
    for (const CDefineEntry& entry : entries_) {
        if (!entry.name.empty()) {
            ReplaceEvery(text, entry.name, entry.value, out);
            if (text.size() > kMaxSubstitutedLength) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace pellandrix
