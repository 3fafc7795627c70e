#include "engine/name_matcher.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/define_table.h"

namespace pellandrix {

CNameMatcher::CNameMatcher() {
    Clear();
}

void CNameMatcher::Clear() {
    ++epoch_;
    nodes_.assign(1, Node{});
    rootChildren_.fill(-1);
    children_.Clear();
    erasedSinceRebuild_ = false;
    seen_.assign(1, 0);
    stamp_ = 0;
    trieWorkSinceBuild_ = 0;
    ownOutput_.clear();
    MarkChanged();
}

std::int32_t CNameMatcher::Child(std::int32_t node, unsigned char byte) const {
    if (node == 0) {
        return rootChildren_[byte];
    }
    return children_.Find(node, byte);
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
        children_.Add(node, byte, child);
    }
    return child;
}

void CNameMatcher::MarkChanged() {
    automatonCurrent_ = false;
}

bool CNameMatcher::SetOutput(std::int32_t node, const CDefineEntry* entry, std::uint64_t order) {
    const auto at = static_cast<std::size_t>(node);
    if (!automatonCurrent_ || at >= ownOutput_.size() || ownOutput_[at] < 0) {
        return false;
    }
    Output& output = outputs_[static_cast<std::size_t>(ownOutput_[at])];
    output.entry = entry;
    output.order = order;
    return true;
}

void CNameMatcher::Insert(const CDefineEntry* entry) {
    Hint& hint = entry->matcherHint;
    std::int32_t node = hint.epoch == epoch_ ? hint.node : -1;
    if (node < 0) {
        node = 0;
        for (const char c : entry->name) {
            const auto byte = static_cast<unsigned char>(c);
            const std::int32_t child = Child(node, byte);
            node = child >= 0 ? child : AddChild(node, byte);
        }
        hint = Hint{epoch_, node};
    }
    if (node != 0 && nodes_[node].entry == nullptr) {
        nodes_[node].entry = entry;
        nodes_[node].order = entry->TableOrder();
        // A name the automaton was built with needs no new build: erased
        // names keep their outputs, switched off, for when they come back.
        if (!SetOutput(node, entry, entry->TableOrder())) {
            MarkChanged();
        }
    }
}

std::int32_t CNameMatcher::NodeOf(const CDefineEntry* entry) const {
    if (entry->matcherHint.epoch == epoch_) {
        return entry->matcherHint.node;
    }
    std::int32_t node = 0;
    for (const char c : entry->name) {
        node = Child(node, static_cast<unsigned char>(c));
        if (node < 0) {
            return -1;
        }
    }
    return node;
}

void CNameMatcher::Erase(const CDefineEntry* entry) {
    const std::int32_t node = NodeOf(entry);
    if (node >= 0 && nodes_[node].entry == entry) {
        nodes_[node].entry = nullptr;
        erasedSinceRebuild_ = true;
        if (!SetOutput(node, nullptr, 0)) {
            MarkChanged();
        }
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
    Plan plan;
    OrderNodes(plan);
    LinkNodes(plan);
    NumberStates(plan);
    EmitStates(plan);
    EmitOutputs(plan);
    EmitChains();
    onlyFirstByte_ = -1;
    const std::int32_t first = nodes_[0].firstChild;
    if (first >= 0 && nodes_[first].nextSibling < 0) {
        onlyFirstByte_ = nodes_[first].byte;
    }
    automatonCurrent_ = true;
    trieWorkSinceBuild_ = 0;
    ++builds_;
}

void CNameMatcher::AssignByteClasses() {
    // Bytes that occur in no name all behave alike, so they share class 0
    // and the rows stay as narrow as the names' alphabet.
    classOf_.fill(0);
    byteOfClass_.assign(1, 0);
    for (std::size_t i = 1; i < nodes_.size(); ++i) {
        if (classOf_[nodes_[i].byte] == 0) {
            classOf_[nodes_[i].byte] = static_cast<std::uint16_t>(byteOfClass_.size());
            byteOfClass_.push_back(nodes_[i].byte);
        }
    }
    width_ = byteOfClass_.size();
}

void CNameMatcher::OrderNodes(Plan& p) const {
    const std::size_t count = nodes_.size();
    p.order.reserve(count);
    p.order.push_back(0);
    p.depth.assign(count, 0);
    p.keepsRow.assign(count, 0);
    for (std::size_t i = 0; i < p.order.size(); ++i) {
        const std::int32_t u = p.order[i];
        int children = 0;
        for (std::int32_t c = nodes_[u].firstChild; c >= 0; c = nodes_[c].nextSibling) {
            p.depth[c] = p.depth[u] + 1;
            p.order.push_back(c);
            ++children;
        }
        // Full rows cost a cache line or more each, so only the states that
        // every scan passes often, or that branch widely, keep one.
        p.keepsRow[u] = p.depth[u] <= 2 || children >= 4 ? 1 : 0;
    }
}

std::int32_t CNameMatcher::NodeStep(const Plan& p, std::int32_t node, unsigned char byte) const {
    // The root keeps a row, so the fallbacks end there at the latest.
    for (;;) {
        if (p.rowOf[node] >= 0) {
            return p.rows[static_cast<std::size_t>(p.rowOf[node]) * width_ + classOf_[byte]];
        }
        for (std::int32_t c = nodes_[node].firstChild; c >= 0; c = nodes_[c].nextSibling) {
            if (nodes_[c].byte == byte) {
                return c;
            }
        }
        node = p.fail[node];
    }
}

void CNameMatcher::LinkNodes(Plan& p) const {
    // Breadth first: a node's fallback is shallower than the node, so its
    // transitions are complete before the node's row and its children's
    // fallbacks are worked out from them. Only nodes that keep a row get
    // one here; building a row for every node would cost the width of the
    // alphabet per byte of every name.
    const std::size_t count = nodes_.size();
    p.fail.assign(count, 0);
    p.rowOf.assign(count, -1);
    for (const std::int32_t u : p.order) {
        if (p.keepsRow[u] != 0) {
            const std::size_t row = p.rows.size() / width_;
            p.rows.resize(p.rows.size() + width_, 0);
            std::int32_t* cells = p.rows.data() + row * width_;
            const std::int32_t f = p.fail[u];
            if (u != 0 && p.rowOf[f] >= 0) {
                std::copy_n(p.rows.data() + static_cast<std::size_t>(p.rowOf[f]) * width_, width_,
                            cells);
            } else if (u != 0) {
                for (std::size_t k = 1; k < width_; ++k) {
                    cells[k] = NodeStep(p, f, byteOfClass_[k]);
                }
            }
            for (std::int32_t c = nodes_[u].firstChild; c >= 0; c = nodes_[c].nextSibling) {
                cells[classOf_[nodes_[c].byte]] = c;
            }
            p.rowOf[u] = static_cast<std::int32_t>(row);
        }
        for (std::int32_t c = nodes_[u].firstChild; c >= 0; c = nodes_[c].nextSibling) {
            p.fail[c] = u == 0 ? 0 : NodeStep(p, p.fail[u], nodes_[c].byte);
        }
    }
}

void CNameMatcher::NumberStates(Plan& p) {
    p.state.assign(nodes_.size(), 0);
    std::uint32_t next = 0;
    for (const std::int32_t u : p.order) {
        if (p.keepsRow[u] != 0) {
            p.state[u] = next++;
        }
    }
    rowStates_ = next;
    // Depth first, so that a name's tail lies in consecutive states.
    std::vector<std::int32_t> pending{0};
    while (!pending.empty()) {
        const std::int32_t u = pending.back();
        pending.pop_back();
        if (p.keepsRow[u] == 0) {
            p.state[u] = next++;
        }
        for (std::int32_t c = nodes_[u].firstChild; c >= 0; c = nodes_[c].nextSibling) {
            pending.push_back(c);
        }
    }
}

void CNameMatcher::EmitStates(const Plan& p) {
    rows_.assign(static_cast<std::size_t>(rowStates_) * width_, 0);
    edgeStates_.assign(nodes_.size() - rowStates_, EdgeState{});
    edges_.clear();
    for (const std::int32_t u : p.order) {
        const std::uint32_t s = p.state[u];
        if (p.keepsRow[u] != 0) {
            const std::int32_t* cells =
                p.rows.data() + static_cast<std::size_t>(p.rowOf[u]) * width_;
            for (std::size_t k = 0; k < width_; ++k) {
                rows_[s * width_ + k] = p.state[cells[k]];
            }
            continue;
        }
        EdgeState& e = edgeStates_[s - rowStates_];
        e.fail = p.state[p.fail[u]];
        e.moreEdges = static_cast<std::uint32_t>(edges_.size());
        for (std::int32_t c = nodes_[u].firstChild; c >= 0; c = nodes_[c].nextSibling) {
            if (e.edgeCount == 0) {
                e.firstByte = nodes_[c].byte;
                e.firstTarget = p.state[c];
            } else {
                edges_.push_back(Edge{p.state[c], nodes_[c].byte});
            }
            ++e.edgeCount;
        }
    }
}

void CNameMatcher::EmitOutputs(const Plan& p) {
    // Breadth first, so that the names ending at a node's fallback are
    // listed before the node's own.
    outputs_.clear();
    std::vector<std::int32_t> outputOfNode(nodes_.size(), -1);
    ownOutput_.assign(nodes_.size(), -1);
    for (const std::int32_t u : p.order) {
        const std::int32_t shorter = u == 0 ? -1 : outputOfNode[p.fail[u]];
        if (nodes_[u].entry == nullptr) {
            outputOfNode[u] = shorter;
            continue;
        }
        outputOfNode[u] = static_cast<std::int32_t>(outputs_.size());
        ownOutput_[static_cast<std::size_t>(u)] = outputOfNode[u];
        outputs_.push_back(Output{nodes_[u].entry, nodes_[u].order,
                                  static_cast<std::size_t>(p.depth[u]), shorter, 0});
    }
    rowOutput_.assign(rowStates_, -1);
    for (const std::int32_t u : p.order) {
        const std::uint32_t s = p.state[u];
        if (s < rowStates_) {
            rowOutput_[s] = outputOfNode[u];
        } else {
            edgeStates_[s - rowStates_].output = outputOfNode[u];
        }
    }
}

void CNameMatcher::EmitChains() {
    // The tail of a long name is a run of states with one edge each, to
    // the next state; where no name ends inside the run, a scan compares
    // the text with the run's bytes instead of stepping through it.
    tailBytes_.resize(edgeStates_.size());
    for (std::size_t j = edgeStates_.size(); j-- > 0;) {
        EdgeState& e = edgeStates_[j];
        tailBytes_[j] = e.firstByte;
        const auto self = static_cast<std::uint32_t>(rowStates_ + j);
        e.chain = 0;
        if (e.edgeCount != 1 || e.firstTarget != self + 1 || j + 1 == edgeStates_.size()) {
            continue;
        }
        const EdgeState& next = edgeStates_[j + 1];
        const std::size_t run = 1 + (next.output < 0 ? next.chain : 0);
        e.chain = static_cast<std::uint16_t>(std::min<std::size_t>(run, UINT16_MAX));
    }
}

std::size_t CNameMatcher::FollowChain(std::uint32_t state, const unsigned char* bytes,
                                      std::size_t size) const {
    if (state < rowStates_) {
        return 0;
    }
    const std::size_t index = state - rowStates_;
    const std::size_t run = std::min<std::size_t>(edgeStates_[index].chain, size);
    if (run < 2) {
        return 0;
    }
    const unsigned char* want = tailBytes_.data() + index;
    std::size_t matched = 0;
    while (matched < run && bytes[matched] == want[matched]) {
        ++matched;
    }
    return matched;
}

std::uint32_t CNameMatcher::Step(std::uint32_t state, unsigned char byte) const {
    // A state without a row tries its edges, then falls back to shorter
    // suffixes; each fallback undoes a step of depth, so a scan stays linear.
    while (state >= rowStates_) {
        const EdgeState& s = edgeStates_[state - rowStates_];
        if (s.edgeCount != 0) {
            if (s.firstByte == byte) {
                return s.firstTarget;
            }
            const std::uint32_t end = s.moreEdges + s.edgeCount - 1u;
            for (std::uint32_t e = s.moreEdges; e < end; ++e) {
                if (edges_[e].byte == byte) {
                    return edges_[e].target;
                }
            }
        }
        state = s.fail;
    }
    return rows_[state * width_ + classOf_[byte]];
}

void CNameMatcher::Collect(std::int32_t output, std::uint64_t from,
                           std::vector<const CDefineEntry*>* found) {
    // An output already reported in this search was reported with all its
    // shorter ones, so the walk stops there.
    while (output >= 0) {
        Output& o = outputs_[static_cast<std::size_t>(output)];
        if (o.seen == stamp_) {
            return;
        }
        o.seen = stamp_;
        if (o.entry != nullptr && o.order >= from) {
            found->push_back(o.entry);
        }
        output = o.shorter;
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

std::uint32_t CNameMatcher::Advance(std::uint32_t state, const unsigned char* bytes, std::size_t* i,
                                    std::size_t size) const {
    // Along a name's tail the states pass no name's end, so they can be
    // skipped together; the state they lead to is never the root.
    const std::size_t skipped = FollowChain(state, bytes + *i, size - *i);
    if (skipped != 0) {
        *i += skipped;
        return state + static_cast<std::uint32_t>(skipped);
    }
    return Step(state, bytes[(*i)++]);
}

template <typename OnOutput>
bool CNameMatcher::WalkOutputs(std::string_view text, OnOutput&& onOutput) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        i = SkipToNameStart(bytes, i, size);
        std::uint32_t state = 0;
        while (i < size) {
            state = Advance(state, bytes, &i, size);
            const std::int32_t output = LiveOutput(OutputOf(state));
            if (output >= 0 && !onOutput(outputs_[static_cast<std::size_t>(output)], output, i)) {
                return false;
            }
            if (state == 0) {
                break;
            }
        }
    }
    return true;
}

void CNameMatcher::ScanWithAutomaton(std::string_view text, std::uint64_t from,
                                     std::vector<const CDefineEntry*>* found) {
    WalkOutputs(text, [&](const Output&, std::int32_t output, std::size_t) {
        Collect(output, from, found);
        return true;
    });
}

bool CNameMatcher::FindSeparate(std::string_view text, std::vector<Occurrence>* found) {
    found->clear();
    if (!automatonCurrent_) {
        return false;
    }
    std::size_t lastEnd = 0;
    std::size_t lastLength = 0;
    return WalkOutputs(text, [&](const Output& o, std::int32_t, std::size_t end) {
        // A shorter name ending at the same byte overlaps this one.
        const std::size_t gap = std::max(o.length, lastLength) - 1;
        if (LiveOutput(o.shorter) >= 0 || (!found->empty() && end - o.length < lastEnd + gap)) {
            return false;
        }
        found->push_back(Occurrence{end, o.entry});
        lastEnd = end;
        lastLength = o.length;
        return true;
    });
}

bool CNameMatcher::AnyOccurs(std::string_view text) const {
    return !WalkOutputs(text, [](const Output&, std::int32_t, std::size_t) { return false; });
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
        for (Output& output : outputs_) {
            output.seen = 0;
        }
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
