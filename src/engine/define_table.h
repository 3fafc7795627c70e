#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/name_matcher.h"
#include "support/node_list.h"

namespace pellandrix {

struct SNameSlot;

// One defined name and its replacement text. The name is fixed for the
// entry's life (the table indexes it); the value may be reassigned.
class CDefineEntry : public CListNode {
  public:
    CDefineEntry(std::string_view n, std::string_view v, std::uint64_t tableOrder)
        : name(n), value(v), tableOrder_(tableOrder) {}
    const std::string name;
    std::string value;
    // The entry's place in table order, fixed while it is in the table: an
    // entry stands before every entry with a greater key. Unlike Position()
    // it needs no renumbering when entries come and go.
    std::uint64_t TableOrder() const { return tableOrder_; }

    // Where the table's name matcher keeps the name; its own to set (see
    // CNameMatcher::Insert).
    mutable CNameMatcher::Hint matcherHint;

  private:
    friend class CDefineTable;  // sets the order when it defines the name again
    std::uint64_t tableOrder_;
    SNameSlot* slot_ = nullptr;  // the table's slot of the name, while the entry is in it
};

// A name's entry in a CDefineTable: defined now, or defined before the
// table was last emptied and waiting for the name's next definition (every
// template starts on an empty table, and most define the same names again,
// which then costs no new entry). A slot holds one of the two; the table
// keeps it as long as it holds either, keyed by that entry's own name.
struct SNameSlot {
    CDefineEntry* live = nullptr;
    std::unique_ptr<CDefineEntry> dormant;
};

// The names defined while a template (and every template it includes) is
// processed, kept longest name first so that substitution replaces longer
// names before the shorter names they contain.
class CDefineTable {
  public:
    // Destroys every entry.
    void Clear();
    // Appends an entry holding copies of `name` and `value` and returns it.
    // Expects that no entry of that name exists and that the name is shorter
    // than kMaxNameLength; callers follow every Add with SortByNameLength.
    CDefineEntry* Add(std::string_view name, std::string_view value);
    // The entry whose name equals `name` byte for byte, or null.
    CDefineEntry* Find(std::string_view name) const;
    // The same, setting `slot` to the name's slot (null when the table
    // knows no such name): for an Add of that name that follows at once,
    // with no change to the table between, so that the name is looked up
    // once for both.
    CDefineEntry* Find(std::string_view name, SNameSlot** slot);
    CDefineEntry* Add(std::string_view name, std::string_view value, SNameSlot* slot);
    // Unlinks and destroys `entry`, which must belong to this table.
    void Remove(CDefineEntry* entry);
    // Gives `entry`, which must belong to this table, a new value. Use this
    // rather than assigning to the member, so that DefinedBytes stays right.
    void SetValue(CDefineEntry* entry, std::string_view value);
    // The bytes of every entry's name and value together, as far as they
    // were set through this table.
    std::size_t DefinedBytes() const { return definedBytes_; }
    // How many bytes DefinedBytes may reach: kMaxDefinedBytes unless lowered
    // (for a caller with less memory to spare, or a test).
    std::size_t DefinedBytesLimit() const { return definedLimit_; }
    void LimitDefinedBytes(std::size_t limit) { definedLimit_ = limit; }
    // Orders the entries by descending name length; entries of equal length
    // keep the order in which they were defined. The list itself is
    // reordered when it is next read (Entries), so that a header of
    // thousands of defines sorts once instead of once per define.
    void SortByNameLength();
    // Rewrites `text`: for each entry in table order, every occurrence of its
    // name is replaced by its value, scanning left to right without overlap
    // and never rescanning an inserted value for the same name. Text inserted
    // by one entry is visible to the entries after it. Entries with an empty
    // name replace nothing.
    // Costs about one pass over `text` when no name occurs in it, however
    // many entries there are. Not thread-safe even though const: it keeps
    // search structures that it brings up to date after changes.
    // Returns false when an entry would make the text longer than
    // kMaxSubstitutedLength: that entry and the ones behind it are then not
    // applied, and `text` holds what the entries before them made of it. So
    // the text never passes the limit, and values that contain each other
    // twice over (each define doubling the last) cannot exhaust memory.
    bool Substitute(std::string& text) const;
    // The same rewrite of `text`, which is left as it is: returns `text`
    // itself when no name occurs in it, otherwise a view of `scratch`,
    // which then holds the rewritten text (so that the many lines without
    // any name are never copied). Sets *complete to what Substitute would
    // return. The view is valid until `scratch` or `text` changes.
    std::string_view Substituted(std::string_view text, std::string& scratch, bool* complete) const;
    // The same rewrite of `text`, appended to `out`; returns what Substitute
    // would. For callers that collect many lines in one buffer.
    bool AppendSubstituted(std::string_view text, std::string& out) const;
    // How many texts the three forms above rewrote in a single pass,
    // their names standing apart and their values making no new names (the
    // usual case, which needs none of the stepwise rewriting). For tests
    // and benchmarks.
    std::uint64_t SinglePassCount() const { return singlePass_; }
    // The same rewrite done literally, one search for every entry: as slow
    // as it is plain. The reference Substitute is tested and measured against.
    bool SubstituteEntryByEntry(std::string& text) const;

    static constexpr std::size_t kMaxSubstitutedLength = 16 * 1024 * 1024;
    static constexpr std::size_t kMaxNameLength = (std::size_t{1} << 24) - 1;
    // Every value may be 16 MB long; a few KB of template defining hundreds
    // of them must not take gigabytes.
    static constexpr std::size_t kMaxDefinedBytes = 256 * 1024 * 1024;
    // How many entries of an emptied table wait for their names, how long
    // a value they keep room for, and how many bytes (names and the room
    // of values) they keep in all: a name may be 16 MB long.
    static constexpr std::size_t kMaxDormant = 64 * 1024;
    static constexpr std::size_t kMaxDormantValue = 4 * 1024;
    static constexpr std::size_t kMaxDormantBytes = 8 * 1024 * 1024;

    // The bytes the entries waiting for their names keep, and how many
    // they may keep: kMaxDormantBytes unless lowered (for a test).
    std::size_t DormantBytes() const { return dormantBytes_; }
    void LimitDormantBytes(std::size_t limit) { dormantLimit_ = limit; }

    int Count() const { return entries_.Count(); }
    // The entries in table order.
    const CNodeList<CDefineEntry>& Entries() const;

  private:
    void EnsureSorted() const;
    // Keeps the entries of an emptied table for the names' next definitions.
    void KeepDormant(CNodeList<CDefineEntry>::Storage entries);
    // Forgets every entry that waits for its name.
    void DropDormant();
    // Appends the rewrite of `text` to `out` when its names, found by
    // FindSeparate into apart_, can be replaced in one pass; otherwise
    // leaves `out` as it was and returns false.
    bool ReplaceApart(std::string_view text, std::string& out) const;
    // Whether `text` can be rewritten in a single pass: kReplaced when its
    // rewrite was appended to `out`, kUnchanged when no name occurs in it
    // (nothing appended), kNotPossible when it needs the stepwise rewrite
    // (`out` as it was).
    enum class SinglePass { kReplaced, kUnchanged, kNotPossible };
    SinglePass TrySinglePass(std::string_view text, std::string& out) const;
    bool SubstituteStepwise(std::string& text) const;

    mutable CNodeList<CDefineEntry> entries_;
    mutable std::size_t unsorted_ = 0;        // entries added since the last sort, at the end
    mutable std::uint64_t sortedBefore_ = 0;  // every entry sorted so far has a lower number
    std::uint64_t nextNumber_ = 0;            // definition number of the next Add
    std::size_t definedBytes_ = 0;
    std::size_t definedLimit_ = kMaxDefinedBytes;
    // Every name's slot. One map for live and waiting entries, so that
    // neither defining a name nor emptying the table makes or frees a node
    // of it once the names are known, and each entry reaches its slot
    // without a lookup.
    std::unordered_map<std::string_view, SNameSlot> names_;
    std::size_t dormantCount_ = 0;
    std::size_t dormantBytes_ = 0;
    std::size_t dormantLimit_ = kMaxDormantBytes;
    mutable CNameMatcher matcher_;
    // Scratch of Substitute, kept so that their capacity is reused.
    mutable std::vector<const CDefineEntry*> occurring_;
    mutable std::vector<const CDefineEntry*> appeared_;
    mutable std::vector<std::size_t> valueStarts_;
    mutable std::vector<std::string_view> windows_;
    mutable std::vector<CNameMatcher::Occurrence> apart_;
    mutable std::uint64_t singlePass_ = 0;
    mutable std::string scratch_;
    mutable std::string line_;
};

}  // namespace pellandrix
