#include "engine/define_table.h"

#include <memory>

namespace pellandrix {

void CDefineTable::Clear() {
    byName_.clear();
    entries_.Clear();
}

CDefineEntry* CDefineTable::Add(std::string_view name, std::string_view value) {
    CDefineEntry* entry = entries_.Append(std::make_unique<CDefineEntry>(name, value));
    // The key views the entry's own name, which lives as long as the entry.
    byName_.emplace(entry->name, entry);
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
    entries_.Remove(entry);
}

void CDefineTable::SortByNameLength() {
    // Every Add is followed by a sort, so the table is sorted but for the
    // last entry: an insertion sort places it in linear time, where a full
    // sort per definition would make a header of thousands of defines
    // quadratic-logarithmic.
    entries_.InsertionSort(
        [](const CDefineEntry& a, const CDefineEntry& b) { return a.name.size() > b.name.size(); });
}

void CDefineTable::Substitute(std::string& text) const {
    std::string out;
    for (const CDefineEntry& entry : entries_) {
        if (entry.name.empty()) {
            continue;
        }
        std::size_t pos = text.find(entry.name);
        if (pos == std::string::npos) {
            continue;
        }
        out.clear();
        std::size_t done = 0;
        while (pos != std::string::npos) {
            out.append(text, done, pos - done);
            out.append(entry.value);
            done = pos + entry.name.size();
            pos = text.find(entry.name, done);
        }
        out.append(text, done, std::string::npos);
        text.swap(out);
    }
}

}  // namespace pellandrix
