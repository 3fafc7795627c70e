#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/child_index.h"

namespace pellandrix {

class CDefineEntry;

// Answers "which define names occur in this text?" in one pass over the
// text, whatever the number of names, so that a line that holds no name
// costs about as much as reading it.
//
// Names come and go one at a time (a header of thousands of #define lines
// adds one name between two searches), so insertion and removal are cheap
// and the search structure that needs the whole name set is only built once
// the searches done without it have cost about as much as building it.
//
// Borrows the entries: an inserted entry must stay alive and keep its name
// until it is erased or the matcher is cleared. Not thread-safe.
class CNameMatcher {
  public:
    // Where an inserted entry's name ends in the matcher's trie, kept with
    // the entry, so that inserting or erasing it again needs no walk. Valid
    // while `epoch` is the matcher's: Clear renumbers the trie.
    struct Hint {
        std::uint64_t epoch = 0;
        std::int32_t node = -1;
    };

    CNameMatcher();

    // Forgets every name.
    void Clear();
    // Makes the name of `entry` findable. Expects a non-empty name that no
    // inserted entry has.
    void Insert(const CDefineEntry* entry);
    // Stops finding `entry`; does nothing for an entry that was not inserted.
    // What was built for the name stays, so that inserting it again (a
    // table emptied for the next template, which mostly defines the same
    // names again) finds the search structure ready.
    void Erase(const CDefineEntry* entry);
    // How many times the search structure over the whole name set was
    // built. For tests and benchmarks.
    std::uint64_t BuildCount() const { return builds_; }

    // Replaces the contents of `found` with every inserted entry whose name
    // occurs somewhere in `text` (overlapping occurrences count) and whose
    // TableOrder() is at least `from`; each entry once, in no particular
    // order.
    void FindOccurring(std::string_view text, std::uint64_t from,
                       std::vector<const CDefineEntry*>* found);
    // The same for names that lie wholly inside one of `pieces`.
    void FindOccurring(std::span<const std::string_view> pieces, std::uint64_t from,
                       std::vector<const CDefineEntry*>* found);

    // One occurrence of a name: the bytes [end - entry->name.size(), end).
    struct Occurrence {
        std::size_t end;
        const CDefineEntry* entry;
    };
    // Replaces the contents of `found` with every occurrence of a name in
    // `text`, left to right, and returns true, provided that each
    // occurrence keeps apart from the next by at least the longer name's
    // length less one byte (so that neither name, nor one as long, can
    // reach from its bytes into the other's). Returns false as soon as two
    // stand closer or overlap, and also when the search structure is not
    // built yet (FindOccurring builds it when that pays); `found` is
    // unspecified then.
    bool FindSeparate(std::string_view text, std::vector<Occurrence>* found);
    // Whether any name occurs in `text`. Only valid right after
    // FindSeparate returned true, with no change of the names since.
    bool AnyOccurs(std::string_view text) const;

  private:
    struct Node {
        const CDefineEntry* entry = nullptr;  // whose name ends here, if any
        std::uint64_t order = 0;              // the entry's TableOrder()
        std::int32_t firstChild = -1;
        std::int32_t nextSibling = -1;
        unsigned char byte = 0;  // the byte leading here from the parent
    };

    std::int32_t Child(std::int32_t node, unsigned char byte) const;
    std::int32_t AddChild(std::int32_t node, unsigned char byte);
    std::int32_t NodeOf(const CDefineEntry* entry) const;
    void MarkChanged();
    // Points the automaton's output of `node` at `entry` (null: none), so
    // that the automaton stays current; false when the node has none.
    bool SetOutput(std::int32_t node, const CDefineEntry* entry, std::uint64_t order);
    void RebuildTrie();
    void ScanWithTrie(std::string_view text, std::uint64_t from,
                      std::vector<const CDefineEntry*>* found);

    // The trie of all names; node 0 is the root. Kept up to date on every
    // Insert and Erase. Erased names leave their nodes behind until the next
    // automaton build.
    std::vector<Node> nodes_;
    std::array<std::int32_t, 256> rootChildren_;
    CChildIndex children_;  // below the root
    bool erasedSinceRebuild_ = false;
    std::vector<std::uint32_t> seen_;  // node -> stamp of the last walk that reported it

    // What the automaton build works out per trie node.
    struct Plan {
        std::vector<std::int32_t> order;  // breadth first
        std::vector<int> depth;
        std::vector<std::uint8_t> keepsRow;
        std::vector<std::int32_t> fail;    // node -> node of its longest proper suffix
        std::vector<std::int32_t> rowOf;   // node -> its row in `rows`, or -1
        std::vector<std::int32_t> rows;    // row * width_ + class -> node
        std::vector<std::uint32_t> state;  // node -> state
    };
    void BuildAutomaton();
    void AssignByteClasses();
    void OrderNodes(Plan& p) const;
    std::int32_t NodeStep(const Plan& p, std::int32_t node, unsigned char byte) const;
    void LinkNodes(Plan& p) const;
    void NumberStates(Plan& p);
    void EmitStates(const Plan& p);
    void EmitOutputs(const Plan& p);
    void EmitChains();

    // The automaton over the trie's nodes, valid while automatonCurrent_.
    // States [0, rowStates_) have a full row of transitions, the others only
    // their trie edges and a fallback. The long single-child tails of names
    // lie in consecutive states, each holding its one edge itself, so that
    // following a name touches little memory.
    struct EdgeState {
        std::uint32_t fail;
        std::uint32_t firstTarget;  // state behind the first edge
        std::int32_t output;        // longest name ending here (index in outputs_), or -1
        std::uint32_t moreEdges;    // the other edges start here in edges_
        std::uint16_t edgeCount;
        // Bytes that lead on through the next states one by one, passing no
        // name's end: tailBytes_ holds them from this state's index on.
        std::uint16_t chain;
        unsigned char firstByte;
    };
    struct Edge {
        std::uint32_t target;
        unsigned char byte;
    };
    // A name that ends in some state, with the next shorter name ending
    // there too, so that reporting every name a state stands for is a walk.
    struct Output {
        const CDefineEntry* entry;  // null while the name is erased
        std::uint64_t order;
        std::size_t length;    // of the entry's name
        std::int32_t shorter;  // index in outputs_, or -1
        std::uint32_t seen;    // stamp of the last search that reported it
    };
    std::uint32_t Step(std::uint32_t state, unsigned char byte) const;
    std::size_t FollowChain(std::uint32_t state, const unsigned char* bytes,
                            std::size_t size) const;
    // Where a state's output lies is chosen so that a name's tail reads its
    // edges and its outputs from the same cache line.
    std::int32_t OutputOf(std::uint32_t state) const {
        return state < rowStates_ ? rowOutput_[state] : edgeStates_[state - rowStates_].output;
    }
    void Collect(std::int32_t output, std::uint64_t from, std::vector<const CDefineEntry*>* found);
    std::size_t SkipToNameStart(const unsigned char* bytes, std::size_t i, std::size_t size) const;
    // Moves on from `state` by the bytes at `bytes[*i]`, through a name's
    // tail at once where it can; advances *i.
    std::uint32_t Advance(std::uint32_t state, const unsigned char* bytes, std::size_t* i,
                          std::size_t size) const;
    // The first output from `output` on, along the shorter ones, whose name
    // is inserted now, or -1. The automaton keeps outputs for names erased
    // since it was built, which must not be found.
    std::int32_t LiveOutput(std::int32_t output) const {
        while (output >= 0 && outputs_[static_cast<std::size_t>(output)].entry == nullptr) {
            output = outputs_[static_cast<std::size_t>(output)].shorter;
        }
        return output;
    }
    // Runs the automaton over `text`, calling onOutput(output, index in
    // outputs_, end of the name) wherever an inserted name ends; stops and returns
    // false as soon as onOutput returns false.
    template <typename OnOutput>
    bool WalkOutputs(std::string_view text, OnOutput&& onOutput) const;
    void ScanWithAutomaton(std::string_view text, std::uint64_t from,
                           std::vector<const CDefineEntry*>* found);

    bool automatonCurrent_ = false;
    std::size_t trieWorkSinceBuild_ = 0;      // trie steps since the automaton was built
    std::array<std::uint16_t, 256> classOf_;  // 0: the byte occurs in no name
    std::vector<unsigned char> byteOfClass_;
    std::size_t width_ = 1;   // byte classes, the length of a row
    int onlyFirstByte_ = -1;  // the first byte of every name, when they share one
    std::uint32_t rowStates_ = 0;
    std::vector<std::uint32_t> rows_;    // state * width_ + class -> state
    std::vector<EdgeState> edgeStates_;  // state - rowStates_ -> its edges
    std::vector<Edge> edges_;
    std::vector<unsigned char> tailBytes_;  // state - rowStates_ -> the byte of its first edge
    std::vector<std::int32_t> rowOutput_;   // row state -> longest name ending there, or -1
    std::vector<Output> outputs_;
    // Trie node -> the output of the name ending there, as at the build;
    // -1 for none (and for nodes added since).
    std::vector<std::int32_t> ownOutput_;
    std::uint64_t builds_ = 0;
    std::uint64_t epoch_ = 0;  // counts Clear; see Hint

    // Marks what the current search has reported.
    std::uint32_t stamp_ = 0;
};

}  // namespace pellandrix
