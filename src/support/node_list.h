#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace pellandrix {

// What a node needs of the list that owns it: bringing positions up to date.
class CNodeListBase {
  public:
    virtual void EnsureNumbered() const = 0;

  protected:
    ~CNodeListBase() = default;
};

// Base of every node kept in a CNodeList. A node knows its 0-based position
// in the list that owns it; positions always read 0, 1, 2, ... in list order.
class CListNode {
  public:
    CListNode() = default;
    virtual ~CListNode() = default;
    CListNode(const CListNode&) = delete;
    CListNode& operator=(const CListNode&) = delete;

    // Numeric sort key; by default the node's position.
    virtual long SortKey() const { return Position(); }
    int Position() const {
        if (owner_ != nullptr) {
            owner_->EnsureNumbered();
        }
        return position_;
    }

  private:
    template <typename T>
    friend class CNodeList;
    mutable int position_ = 0;
    const CNodeListBase* owner_ = nullptr;
};

// Ordered list that owns its nodes. T must derive from CListNode.
// After every Append, Remove and Sort the positions read 0, 1, 2, ... in
// list order. They are brought up to date when a node's position is read,
// so that a long run of changes (thousands of #define lines) does not pay
// for renumbering the whole list each time. Pointers to nodes stay valid
// until the node is removed or the list is cleared or destroyed.
template <typename T>
class CNodeList : public CNodeListBase {
  public:
    using Storage = std::vector<std::unique_ptr<T>>;

    CNodeList() = default;
    ~CNodeList() = default;
    CNodeList(const CNodeList&) = delete;
    CNodeList& operator=(const CNodeList&) = delete;
    CNodeList(CNodeList&& other) noexcept { *this = std::move(other); }
    CNodeList& operator=(CNodeList&& other) noexcept {
        nodes_ = std::move(other.nodes_);
        numbered_ = other.numbered_;
        other.nodes_.clear();
        other.numbered_ = 0;
        for (auto& node : nodes_) {
            node->owner_ = this;
        }
        return *this;
    }

    // Takes ownership of `node`, appends it at the end and returns it.
    // Expects a non-null node that belongs to no list.
    T* Append(std::unique_ptr<T> node) {
        T* raw = node.get();
        raw->owner_ = this;
        raw->position_ = static_cast<int>(nodes_.size());
        const bool allNumbered = numbered_ == nodes_.size();
        nodes_.push_back(std::move(node));
        if (allNumbered) {
            numbered_ = nodes_.size();
        }
        return raw;
    }

    // Unlinks and destroys `node`. Returns false (and does nothing) when the
    // node is not in this list.
    bool Remove(const T* node) {
        // Compared by address only: `node` may already be gone, and must not
        // be read before it is found here.
        const auto it =
            std::find_if(nodes_.begin(), nodes_.end(),
                         [node](const std::unique_ptr<T>& n) { return n.get() == node; });
        if (it == nodes_.end()) {
            return false;
        }
        numbered_ = std::min(numbered_, static_cast<std::size_t>(it - nodes_.begin()));
        nodes_.erase(it);
        return true;
    }

    // Destroys every node.
    void Clear() {
        nodes_.clear();
        numbered_ = 0;
    }

    // Unlinks every node and hands them over in list order.
    Storage ReleaseAll() {
        for (auto& node : nodes_) {
            node->owner_ = nullptr;
        }
        numbered_ = 0;
        return std::exchange(nodes_, Storage());
    }

    // Reorders the nodes so that `less(a, b)` holds for neighbours where it
    // decides; equal nodes keep no defined order.
    void Sort(const std::function<bool(const T&, const T&)>& less) {
        std::sort(nodes_.begin(), nodes_.end(),
                  [&less](const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) {
                      return less(*a, *b);
                  });
        numbered_ = 0;
    }

    // Stable sort for a list whose first `sortedCount` nodes are already in
    // order: the later nodes are sorted among themselves and merged in behind
    // every earlier node they are not less than. Costs about one pass over
    // the list plus sorting the tail, so appending a node to a long sorted
    // list and sorting again stays cheap, and so does sorting a long run of
    // appended nodes at once.
    template <typename Less>
    void SortTail(std::size_t sortedCount, Less less) {
        const auto byNode = [&less](const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) {
            return less(*a, *b);
        };
        const auto middle =
            nodes_.begin() + static_cast<std::ptrdiff_t>(std::min(sortedCount, nodes_.size()));
        if (middle == nodes_.end()) {
            return;
        }
        std::stable_sort(middle, nodes_.end(), byNode);
        const auto moved = std::upper_bound(nodes_.begin(), middle, *middle, byNode);
        std::inplace_merge(moved, middle, nodes_.end(), byNode);
        numbered_ = std::min(numbered_, static_cast<std::size_t>(moved - nodes_.begin()));
    }

    int Count() const { return static_cast<int>(nodes_.size()); }
    bool Empty() const { return nodes_.empty(); }
    // The first node, or null for an empty list.
    T* First() const { return nodes_.empty() ? nullptr : nodes_.front().get(); }
    // The last node, or null.
    T* Last() const { return nodes_.empty() ? nullptr : nodes_.back().get(); }
    // The node at `position`; expects 0 <= position < Count().
    T* At(int position) const { return nodes_[static_cast<std::size_t>(position)].get(); }

    // Iteration yields `T&` in list order.
    class Iterator {
      public:
        explicit Iterator(typename Storage::const_iterator it) : it_(it) {}
        T& operator*() const { return **it_; }
        T* operator->() const { return it_->get(); }
        Iterator& operator++() {
            ++it_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return it_ == other.it_; }

      private:
        typename Storage::const_iterator it_;
    };
    Iterator begin() const { return Iterator(nodes_.cbegin()); }
    Iterator end() const { return Iterator(nodes_.cend()); }

    void EnsureNumbered() const override {
        for (; numbered_ < nodes_.size(); ++numbered_) {
            nodes_[numbered_]->position_ = static_cast<int>(numbered_);
        }
    }

  private:
    Storage nodes_;
    // The first `numbered_` nodes carry their right position.
    mutable std::size_t numbered_ = 0;
};

}  // namespace pellandrix
