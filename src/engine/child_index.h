#pragma once

#include <cstdint>
#include <vector>

namespace pellandrix {

// Finds a trie node's child by the byte leading to it. Open addressing in
// one flat array, because a header of thousands of defines looks children
// up for every byte of every name and value, and a node-based hash map
// spends that time chasing pointers. Children are only ever added; the
// whole index is cleared at once.
class CChildIndex {
  public:
    CChildIndex() { Clear(); }

    // Forgets every child.
    void Clear() {
        slots_.assign(kInitialSlots, Slot{});
        count_ = 0;
    }

    // The child of `node` reached by `byte`, or -1.
    std::int32_t Find(std::int32_t node, unsigned char byte) const {
        const std::uint64_t key = Key(node, byte);
        for (std::size_t i = Home(key);; i = (i + 1) & (slots_.size() - 1)) {
            if (slots_[i].child < 0 || slots_[i].key == key) {
                return slots_[i].child;
            }
        }
    }

    // Records `child` as the child of `node` reached by `byte`. Expects that
    // `node` has no child for `byte` yet and that child >= 0.
    void Add(std::int32_t node, unsigned char byte, std::int32_t child) {
        if (2 * (count_ + 1) > slots_.size()) {
            Grow();
        }
        Place(Key(node, byte), child);
        ++count_;
    }

  private:
    struct Slot {
        std::uint64_t key = 0;
        std::int32_t child = -1;  // -1: the slot is free
    };
    static constexpr std::size_t kInitialSlots = 64;

    static std::uint64_t Key(std::int32_t node, unsigned char byte) {
        return (static_cast<std::uint64_t>(node) << 8) | byte;
    }
    std::size_t Home(std::uint64_t key) const {
        // Fibonacci hashing spreads the consecutive node numbers of a chain.
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
    }
    void Place(std::uint64_t key, std::int32_t child) {
        std::size_t i = Home(key);
        while (slots_[i].child >= 0) {
            i = (i + 1) & (slots_.size() - 1);
        }
        slots_[i] = Slot{key, child};
    }
    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& slot : old) {
            if (slot.child >= 0) {
                Place(slot.key, slot.child);
            }
        }
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace pellandrix
