#include "engine/name_matcher.h"

#include <algorithm>
#include <cstring>

#include "engine/define_table.h"

namespace pellandrix {

namespace {

std::uint64_t ChildKey(std::int32_t node, unsigned char byte) {
    return (static_cast<std::uint64_t>(node) << 8) | byte;
}

}  // namespace

CNameMatcher::CNameMatcher() {
    Clear();
}

void CNameMatcher::Clear() {
    nodes_.assign(1, Node{});
    rootChildren_.fill(-1);
    children_.clear();
    erasedSinceRebuild_ = false;
    seen_.assign(1, 0);
    stamp_ = 0;
    trieWorkSinceBuild_ = 0;
    MarkChanged();
}

std::int32_t CNameMatcher::Child(std::int32_t node, unsigned char byte) const {
    if (node == 0) {
        return rootChildren_[byte];
    }
    const auto it = children_.find(ChildKey(node, byte));
    return it == children_.end() ? -1 : it->second;
}

std::int32_t CNameMatcher::AddChild(std::int32_t node, unsigned char byte) {
    const auto child = static_cast<std::int32_t>(nodes_.size());
    Node added;
    added.byte = byte;
    added.nextSibling = nodes_[node].firstChild;
    nodes_.push_back(added);
    nodes_[node].firstChild = child;
    seen_.push_back(0);
    if (node == 0) {
        rootChildren_[byte] = child;
    } else {
        children_.emplace(ChildKey(node, byte), child);
    }
    return child;
}

void CNameMatcher::MarkChanged() {
    automatonCurrent_ = false;
}

void CNameMatcher::Insert(const CDefineEntry* entry) {
    std::int32_t node = 0;
    for (const char c : entry->name) {
        const auto byte = static_cast<unsigned char>(c);
        const std::int32_t child = Child(node, byte);
        node = child >= 0 ? child : AddChild(node, byte);
    }
    if (node != 0 && nodes_[node].entry == nullptr) {
        nodes_[node].entry = entry;
        nodes_[node].order = entry->TableOrder();
        MarkChanged();
    }
}

void CNameMatcher::Erase(const CDefineEntry* entry) {
    std::int32_t node = 0;
    for (const char c : entry->name) {
        node = Child(node, static_cast<unsigned char>(c));
        if (node < 0) {
            return;
        }
    }
    if (nodes_[node].entry == entry) {
        nodes_[node].entry = nullptr;
        erasedSinceRebuild_ = true;
        MarkChanged();
    }
}

void CNameMatcher::RebuildTrie() {
    // Dead branches would cost automaton states for ever; a table that
    // undefines many names drops them here, where a build costs as much.
    std::vector<const CDefineEntry*> live;
    for (const Node& node : nodes_) {
        if (node.entry != nullptr) {
            live.push_back(node.entry);
        }
    }
    Clear();
    for (const CDefineEntry* entry : live) {
        Insert(entry);
    }
}

void CNameMatcher::BuildAutomaton() {
    if (erasedSinceRebuild_) {
        RebuildTrie();
    }
    AssignByteClasses();
    LayOutStates(NodeTransitions());
    onlyFirstByte_ = -1;
    const std::int32_t first = nodes_[0].firstChild;
    if (first >= 0 && nodes_[first].nextSibling < 0) {
        onlyFirstByte_ = nodes_[first].byte;
    }
    automatonCurrent_ = true;
    trieWorkSinceBuild_ = 0;
}

void CNameMatcher::AssignByteClasses() {
    // Bytes that occur in no name all behave alike, so they share class 0
    // and the rows stay as narrow as the names' alphabet.
    classOf_.fill(0);
    width_ = 1;
    for (std::size_t i = 1; i < nodes_.size(); ++i) {
        if (classOf_[nodes_[i].byte] == 0) {
            classOf_[nodes_[i].byte] = static_cast<std::uint8_t>(width_++);
        }
    }
}

CNameMatcher::Transitions CNameMatcher::NodeTransitions() {
    const std::size_t count = nodes_.size();
    Transitions t;
    t.rows.assign(count * width_, 0);
    t.fail.assign(count, 0);
    t.depth.assign(count, 0);
    t.order.reserve(count);
    t.order.push_back(0);
    output_.assign(count, -1);
    shorterOutput_.assign(count, -1);
    // Breadth first, so a node's fallback (its longest proper suffix in the
    // trie) is complete before the node copies its row and its outputs.
    for (std::size_t i = 0; i < t.order.size(); ++i) {
        const std::int32_t u = t.order[i];
        const auto row = static_cast<std::ptrdiff_t>(u) * static_cast<std::ptrdiff_t>(width_);
        if (u != 0) {
            const auto fallbackRow =
                static_cast<std::ptrdiff_t>(t.fail[u]) * static_cast<std::ptrdiff_t>(width_);
            std::copy_n(t.rows.begin() + fallbackRow, width_, t.rows.begin() + row);
            shorterOutput_[u] = output_[t.fail[u]];
            output_[u] = nodes_[u].entry != nullptr ? u : shorterOutput_[u];
        }
        for (std::int32_t c = nodes_[u].firstChild; c >= 0; c = nodes_[c].nextSibling) {
            const auto slot = static_cast<std::size_t>(row) + classOf_[nodes_[c].byte];
            t.fail[c] = u == 0 ? 0 : t.rows[slot];
            t.depth[c] = t.depth[u] + 1;
            t.rows[slot] = c;
            t.order.push_back(c);
        }
    }
    return t;
}

bool CNameMatcher::KeepsRow(const Transitions& t, std::int32_t node) const {
    // Full rows cost a cache line or more each, so only the states that
    // every scan passes often, or that branch widely, keep one; the long
    // single-child tails of names are stored as edges, one after another.
    int children = 0;
    for (std::int32_t c = nodes_[node].firstChild; c >= 0 && children < 4;
         c = nodes_[c].nextSibling) {
        ++children;
    }
    return t.depth[node] <= 2 || children >= 4;
}

void CNameMatcher::LayOutStates(const Transitions& t) {
    const std::size_t count = nodes_.size();
    std::vector<std::uint32_t> stateOf(count);
    nodeOfState_.clear();
    for (const std::int32_t u : t.order) {
        if (KeepsRow(t, u)) {
            stateOf[u] = static_cast<std::uint32_t>(nodeOfState_.size());
            nodeOfState_.push_back(u);
        }
    }
    rowStates_ = static_cast<std::uint32_t>(nodeOfState_.size());
    // Depth first, so that a name's tail lies in consecutive states.
    std::vector<std::int32_t> pending{0};
    while (!pending.empty()) {
        const std::int32_t u = pending.back();
        pending.pop_back();
        if (u != 0 && !KeepsRow(t, u)) {
            stateOf[u] = static_cast<std::uint32_t>(nodeOfState_.size());
            nodeOfState_.push_back(u);
        }
        for (std::int32_t c = nodes_[u].firstChild; c >= 0; c = nodes_[c].nextSibling) {
            pending.push_back(c);
        }
    }
    rows_.assign(rowStates_ * width_, 0);
    for (std::uint32_t s = 0; s < rowStates_; ++s) {
        const std::size_t from = static_cast<std::size_t>(nodeOfState_[s]) * width_;
        for (std::size_t c = 0; c < width_; ++c) {
            rows_[s * width_ + c] = stateOf[static_cast<std::size_t>(t.rows[from + c])];
        }
    }
    edgeStates_.clear();
    edges_.clear();
    for (std::size_t s = rowStates_; s < nodeOfState_.size(); ++s) {
        const std::int32_t u = nodeOfState_[s];
        EdgeState state{stateOf[static_cast<std::size_t>(t.fail[u])],
                        static_cast<std::uint32_t>(edges_.size()), 0};
        for (std::int32_t c = nodes_[u].firstChild; c >= 0; c = nodes_[c].nextSibling) {
            edges_.push_back(Edge{stateOf[static_cast<std::size_t>(c)], nodes_[c].byte});
            ++state.edgeCount;
        }
        edgeStates_.push_back(state);
    }
    hasOutput_.assign(nodeOfState_.size(), 0);
    for (std::size_t s = 0; s < nodeOfState_.size(); ++s) {
        hasOutput_[s] = output_[nodeOfState_[s]] >= 0 ? 1 : 0;
    }
}

std::uint32_t CNameMatcher::Step(std::uint32_t state, unsigned char byte) const {
    // A state without a row tries its edges, then falls back to shorter
    // suffixes; each fallback undoes a step of depth, so a scan stays linear.
    while (state >= rowStates_) {
        const EdgeState& s = edgeStates_[state - rowStates_];
        for (std::uint32_t e = s.firstEdge; e < s.firstEdge + s.edgeCount; ++e) {
            if (edges_[e].byte == byte) {
                return edges_[e].target;
            }
        }
        state = s.fail;
    }
    return rows_[state * width_ + classOf_[byte]];
}

void CNameMatcher::Collect(std::int32_t node, std::uint64_t from,
                           std::vector<const CDefineEntry*>* found) {
    // A node already seen in this search was reported with all its shorter
    // suffixes, so the walk stops there.
    while (node >= 0 && seen_[node] != stamp_) {
        seen_[node] = stamp_;
        if (nodes_[node].order >= from) {
            found->push_back(nodes_[node].entry);
        }
        node = shorterOutput_[node];
    }
}

std::size_t CNameMatcher::SkipToNameStart(const unsigned char* bytes, std::size_t i,
                                          std::size_t size) const {
    // At the root, a byte that begins no name leaves the automaton there;
    // skipping such bytes without the automaton is most of a line's work.
    // Names that all begin alike (a common prefix or marker) are found by
    // memchr, many bytes at a time.
    if (onlyFirstByte_ >= 0) {
        const void* hit = std::memchr(bytes + i, onlyFirstByte_, size - i);
        return hit == nullptr
                   ? size
                   : static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - bytes);
    }
    while (i < size && rootChildren_[bytes[i]] < 0) {
        ++i;
    }
    return i;
}

void CNameMatcher::ScanWithAutomaton(std::string_view text, std::uint64_t from,
                                     std::vector<const CDefineEntry*>* found) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        i = SkipToNameStart(bytes, i, size);
        std::uint32_t state = 0;
        while (i < size) {
            state = Step(state, bytes[i++]);
            if (hasOutput_[state] != 0) {
                Collect(output_[nodeOfState_[state]], from, found);
            }
            if (state == 0) {
                break;
            }
        }
    }
}

void CNameMatcher::ScanWithTrie(std::string_view text, std::uint64_t from,
                                std::vector<const CDefineEntry*>* found) {
    // Without failure links every start position walks down from the root;
    // cheap for the short texts seen while the names are still changing.
    std::size_t work = 0;
    for (std::size_t start = 0; start < text.size(); ++start) {
        std::int32_t node = rootChildren_[static_cast<unsigned char>(text[start])];
        ++work;
        for (std::size_t i = start + 1; node >= 0; ++i) {
            const Node& n = nodes_[node];
            if (n.entry != nullptr && seen_[node] != stamp_) {
                seen_[node] = stamp_;
                if (n.order >= from) {
                    found->push_back(n.entry);
                }
            }
            if (i == text.size()) {
                break;
            }
            node = Child(node, static_cast<unsigned char>(text[i]));
            ++work;
        }
    }
    trieWorkSinceBuild_ += work;
}

void CNameMatcher::FindOccurring(std::string_view text, std::uint64_t from,
                                 std::vector<const CDefineEntry*>* found) {
    FindOccurring(std::span<const std::string_view>(&text, 1), from, found);
}

void CNameMatcher::FindOccurring(std::span<const std::string_view> pieces, std::uint64_t from,
                                 std::vector<const CDefineEntry*>* found) {
    found->clear();
    // Build once the walks since the last build have cost about what a build
    // costs (one step per state). A run of definitions then pays for a few
    // builds of geometrically growing size at most, a run of text lines for
    // one, and names that change now and then between text lines never cost
    // more than twice the cheaper of walking and building.
    if (!automatonCurrent_ && trieWorkSinceBuild_ >= nodes_.size()) {
        BuildAutomaton();
    }
    // After the build, which may renumber the nodes and reset the marks.
    if (++stamp_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0);
        stamp_ = 1;
    }
    for (const std::string_view piece : pieces) {
        if (automatonCurrent_) {
            ScanWithAutomaton(piece, from, found);
        } else {
            ScanWithTrie(piece, from, found);
        }
    }
}

}  // namespace pellandrix
