#include "engine/define_table.h"

#include <algorithm>
#include <memory>

namespace pellandrix {

namespace {

constexpr int kNumberBits = 40;
constexpr std::uint64_t kNumberMask = (std::uint64_t{1} << kNumberBits) - 1;

// Longer names sort first, equal lengths by definition number. 40 bits of
// numbers outlast any template: each #define line takes at least 9 bytes.
std::uint64_t TableOrderOf(std::size_t nameLength, std::uint64_t number) {
    const std::size_t length = std::min(nameLength, CDefineTable::kMaxNameLength);
    return (static_cast<std::uint64_t>(CDefineTable::kMaxNameLength - length) << kNumberBits) |
           (number & kNumberMask);
}

enum class Replaced { kNone, kSome, kTooLong };

// Whether replacing every occurrence of `name` (not empty) in `text` by
// `value` would make it longer than `limit`. Counts the occurrences only
// when the text could pass the limit even if every byte began a name, which
// a line of ordinary values never can.
bool WouldPass(std::string_view text, std::string_view name, std::string_view value,
               std::size_t limit) {
    if (value.size() <= name.size()) {
        return false;  // the text cannot grow
    }
    const std::size_t growth = value.size() - name.size();
    if (text.size() + text.size() / name.size() * growth <= limit) {
        return false;
    }
    std::size_t size = text.size();
    for (std::size_t pos = text.find(name); pos != std::string_view::npos;
         pos = text.find(name, pos + name.size())) {
        size += growth;
        if (size > limit) {
            return true;
        }
    }
    return false;
}

// Replaces every occurrence of `name` in `text`, left to right, resuming
// behind each one, and notes where each inserted value starts in the new
// text. `out` is a work buffer, passed in so that its capacity is reused
// from line to line. When the new text would be longer than `limit`, `text`
// stays as it was and nothing is copied: one line of a thousand one-letter
// names, each standing for 16 MB, would otherwise take 16 GB before a check
// after the replacement, and a refused line would still cost a copy of up
// to `limit` bytes.
Replaced ReplaceEvery(std::string& text, const std::string& name, const std::string& value,
                      std::string& out, std::vector<std::size_t>* valueStarts, std::size_t limit) {
    std::size_t pos = text.find(name);
    if (pos == std::string::npos) {
        return Replaced::kNone;
    }
    if (WouldPass(text, name, value, limit)) {
        return Replaced::kTooLong;
    }
    out.clear();
    valueStarts->clear();
    std::size_t done = 0;
    while (pos != std::string::npos) {
        out.append(text, done, pos - done);
        valueStarts->push_back(out.size());
        out.append(value);
        done = pos + name.size();
        pos = text.find(name, done);
    }
    out.append(text, done, std::string::npos);
    text.swap(out);
    return Replaced::kSome;
}

// The stretches of `text` where a name of at most reach + 1 bytes can
// occur now but did not before the values at `valueStarts` went in: each
// value with `reach` bytes on either side, so that names across its
// joints count too. Overlapping stretches are joined.
void WindowsAround(std::string_view text, const std::vector<std::size_t>& valueStarts,
                   std::size_t valueLength, std::size_t reach,
                   std::vector<std::string_view>* windows) {
    windows->clear();
    std::size_t begin = 0;
    std::size_t end = 0;
    for (const std::size_t start : valueStarts) {
        const std::size_t from = start > reach ? start - reach : 0;
        const std::size_t to = std::min(text.size(), start + valueLength + reach);
        if (!windows->empty() && from <= end) {
            end = std::max(end, to);
            windows->back() = text.substr(begin, end - begin);
            continue;
        }
        begin = from;
        end = to;
        windows->push_back(text.substr(begin, end - begin));
    }
}

void SortByTableOrder(std::vector<const CDefineEntry*>& entries) {
    std::sort(entries.begin(), entries.end(), [](const CDefineEntry* a, const CDefineEntry* b) {
        return a->TableOrder() < b->TableOrder();
    });
}

}  // namespace

void CDefineTable::Clear() {
    for (CDefineEntry& entry : entries_) {
        matcher_.Erase(&entry);
    }
    KeepDormant(entries_.ReleaseAll());
    unsorted_ = 0;
    sortedBefore_ = 0;
    nextNumber_ = 0;
    definedBytes_ = 0;
}

void CDefineTable::KeepDormant(CNodeList<CDefineEntry>::Storage entries) {
    // Bounded, so that templates that each define names of their own do not
    // pile them all up, nor long values or names.
    if (dormantCount_ + entries.size() > kMaxDormant) {
        DropDormant();
    }
    for (std::unique_ptr<CDefineEntry>& entry : entries) {
        SNameSlot* slot = entry->slot_;
        if (slot == nullptr || slot->live != entry.get()) {
            continue;  // not the entry its name stands for; it ends here
        }
        if (entry->value.capacity() > kMaxDormantValue) {
            std::string().swap(entry->value);
        }
        const std::size_t bytes = entry->name.size() + entry->value.capacity();
        if (dormantBytes_ + bytes > dormantLimit_) {
            names_.erase(entry->name);
            continue;
        }
        dormantBytes_ += bytes;
        ++dormantCount_;
        slot->live = nullptr;
        slot->dormant = std::move(entry);
    }
}

void CDefineTable::DropDormant() {
    std::erase_if(names_, [](const auto& slot) { return slot.second.dormant != nullptr; });
    dormantCount_ = 0;
    dormantBytes_ = 0;
}

CDefineEntry* CDefineTable::Add(std::string_view name, std::string_view value) {
    const auto known = names_.find(name);
    return Add(name, value, known != names_.end() ? &known->second : nullptr);
}

CDefineEntry* CDefineTable::Add(std::string_view name, std::string_view value, SNameSlot* slot) {
    const std::uint64_t order = TableOrderOf(name.size(), nextNumber_++);
    std::unique_ptr<CDefineEntry> made;
    if (slot != nullptr && slot->dormant) {
        made = std::move(slot->dormant);
        dormantBytes_ -= std::min(dormantBytes_, made->name.size() + made->value.capacity());
        --dormantCount_;
        made->value.assign(value);
        made->tableOrder_ = order;
    } else {
        made = std::make_unique<CDefineEntry>(name, value, order);
    }
    CDefineEntry* entry = entries_.Append(std::move(made));
    ++unsorted_;
    definedBytes_ += name.size() + value.size();
    if (slot == nullptr) {
        // The key views the entry's own name, which lives as long as the
        // entry, live or dormant; the slot ends with it. A slot stays where
        // it is while the map grows.
        slot = &names_.emplace(entry->name, SNameSlot{}).first->second;
    }
    if (slot->live == nullptr) {
        slot->live = entry;
        entry->slot_ = slot;
    }
    if (!entry->name.empty()) {
        matcher_.Insert(entry);
    }
    return entry;
}

CDefineEntry* CDefineTable::Find(std::string_view name) const {
    const auto it = names_.find(name);
    return it == names_.end() ? nullptr : it->second.live;
}

CDefineEntry* CDefineTable::Find(std::string_view name, SNameSlot** slot) {
    const auto it = names_.find(name);
    *slot = it == names_.end() ? nullptr : &it->second;
    return *slot != nullptr ? (*slot)->live : nullptr;
}

void CDefineTable::Remove(CDefineEntry* entry) {
    if (entry->slot_ != nullptr && entry->slot_->live == entry) {
        names_.erase(entry->name);
    }
    matcher_.Erase(entry);
    if ((entry->TableOrder() & kNumberMask) >= sortedBefore_) {
        --unsorted_;
    }
    definedBytes_ -= std::min(definedBytes_, entry->name.size() + entry->value.size());
    entries_.Remove(entry);
}

void CDefineTable::SetValue(CDefineEntry* entry, std::string_view value) {
    definedBytes_ -= std::min(definedBytes_, entry->value.size());
    definedBytes_ += value.size();
    entry->value.assign(value);
}

void CDefineTable::SortByNameLength() {
    // Substitute goes by TableOrder and never needs the list in order, so
    // the list is only brought into order when somebody reads it.
}

void CDefineTable::EnsureSorted() const {
    if (unsorted_ == 0) {
        return;
    }
    const std::size_t sorted = static_cast<std::size_t>(entries_.Count()) - unsorted_;
    entries_.SortTail(sorted, [](const CDefineEntry& a, const CDefineEntry& b) {
        return a.TableOrder() < b.TableOrder();
    });
    unsorted_ = 0;
    sortedBefore_ = nextNumber_;
}

const CNodeList<CDefineEntry>& CDefineTable::Entries() const {
    EnsureSorted();
    return entries_;
}

bool CDefineTable::ReplaceApart(std::string_view text, std::string& out) const {
    // When every occurrence stands apart from the next by the longer name's
    // length less one, the stepwise rule replaces exactly these occurrences
    // unless a value, with the original bytes around it, makes a new name:
    // a later entry's name is no longer than the replaced one, so it could
    // only appear within that reach of a value, and those bytes belong to
    // no other occurrence, so they look the same at every step as in the
    // finished text. The finished text is therefore checked there, and any
    // name found sends the text to the stepwise rewrite.
    std::size_t size = text.size();
    for (const CNameMatcher::Occurrence& o : apart_) {
        size += o.entry->value.size();
        size -= o.entry->name.size();
        // A refused text never holds more than the limit; the stepwise
        // rewrite reports it.
        if (size > kMaxSubstitutedLength) {
            return false;
        }
    }
    // Sized once and filled by copying, rather than grown piece by piece.
    const std::size_t base = out.size();
    out.resize(base + size);
    char* next = out.data() + base;
    std::size_t done = 0;
    valueStarts_.clear();
    for (const CNameMatcher::Occurrence& o : apart_) {
        const std::size_t begin = o.end - o.entry->name.size();
        next = std::copy(text.data() + done, text.data() + begin, next);
        valueStarts_.push_back(static_cast<std::size_t>(next - out.data()));
        next = std::copy(o.entry->value.begin(), o.entry->value.end(), next);
        done = o.end;
    }
    std::copy(text.data() + done, text.data() + text.size(), next);
    const std::string_view rewritten = std::string_view(out).substr(base);
    for (std::size_t k = 0; k < apart_.size(); ++k) {
        const CDefineEntry& entry = *apart_[k].entry;
        const std::size_t reach = entry.name.size() - 1;
        const std::size_t start = valueStarts_[k] - base;
        const std::size_t from = start > reach ? start - reach : 0;
        const std::size_t to = std::min(rewritten.size(), start + entry.value.size() + reach);
        if (matcher_.AnyOccurs(rewritten.substr(from, to - from))) {
            out.resize(base);
            return false;
        }
    }
    ++singlePass_;
    return true;
}

CDefineTable::SinglePass CDefineTable::TrySinglePass(std::string_view text,
                                                     std::string& out) const {
    if (entries_.Count() == 0) {
        return SinglePass::kUnchanged;
    }
    if (!matcher_.FindSeparate(text, &apart_)) {
        return SinglePass::kNotPossible;
    }
    if (apart_.empty()) {
        return SinglePass::kUnchanged;
    }
    return ReplaceApart(text, out) ? SinglePass::kReplaced : SinglePass::kNotPossible;
}

bool CDefineTable::AppendSubstituted(std::string_view text, std::string& out) const {
    switch (TrySinglePass(text, out)) {
        case SinglePass::kReplaced:
            return true;
        case SinglePass::kUnchanged:
            out.append(text);
            return true;
        case SinglePass::kNotPossible:
            break;
    }
    // Not in scratch_, which the stepwise rewrite uses itself.
    line_.assign(text);
    const bool complete = SubstituteStepwise(line_);
    out.append(line_);
    return complete;
}

std::string_view CDefineTable::Substituted(std::string_view text, std::string& scratch,
                                           bool* complete) const {
    *complete = true;
    scratch.clear();
    switch (TrySinglePass(text, scratch)) {
        case SinglePass::kReplaced:
            return scratch;
        case SinglePass::kUnchanged:
            return text;
        case SinglePass::kNotPossible:
            break;
    }
    scratch.assign(text);
    *complete = SubstituteStepwise(scratch);
    return scratch;
}

bool CDefineTable::Substitute(std::string& text) const {
    scratch_.clear();
    switch (TrySinglePass(text, scratch_)) {
        case SinglePass::kReplaced:
            text.swap(scratch_);
            return true;
        case SinglePass::kUnchanged:
            return true;
        case SinglePass::kNotPossible:
            break;
    }
    return SubstituteStepwise(text);
}

bool CDefineTable::SubstituteStepwise(std::string& text) const {
    // Only the entries whose names occur matter, so the matcher finds them
    // all in one pass and they are replaced in table order. A replacement
    // can make names of later entries appear, but only in or across the
    // values it inserted, so only there is the text searched again. It can
    // also make names vanish (when it overlapped them); such an entry stays
    // listed and its replacement finds nothing. A name equal to its value
    // leaves the text as it was.
    matcher_.FindOccurring(text, 0, &occurring_);
    SortByTableOrder(occurring_);
    std::size_t next = 0;
    while (next < occurring_.size()) {
        const CDefineEntry& entry = *occurring_[next++];
        const Replaced replaced = ReplaceEvery(text, entry.name, entry.value, scratch_,
                                               &valueStarts_, kMaxSubstitutedLength);
        if (replaced == Replaced::kTooLong) {
            return false;
        }
        if (replaced == Replaced::kNone || entry.value == entry.name) {
            continue;
        }
        // Later entries have names no longer than this one's.
        WindowsAround(text, valueStarts_, entry.value.size(), entry.name.size() - 1, &windows_);
        matcher_.FindOccurring(windows_, entry.TableOrder() + 1, &appeared_);
        if (!appeared_.empty()) {
            occurring_.erase(occurring_.begin(),
                             occurring_.begin() + static_cast<std::ptrdiff_t>(next));
            occurring_.insert(occurring_.end(), appeared_.begin(), appeared_.end());
            SortByTableOrder(occurring_);
            occurring_.erase(std::unique(occurring_.begin(), occurring_.end()), occurring_.end());
            next = 0;
        }
    }
    return true;
}

bool CDefineTable::SubstituteEntryByEntry(std::string& text) const {
    std::string out;
    std::vector<std::size_t> valueStarts;
    for (const CDefineEntry& entry : Entries()) {
        if (!entry.name.empty() && ReplaceEvery(text, entry.name, entry.value, out, &valueStarts,
                                                kMaxSubstitutedLength) == Replaced::kTooLong) {
            return false;
        }
    }
    return true;
}

}  // namespace pellandrix
