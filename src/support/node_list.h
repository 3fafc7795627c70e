#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace pellandrix {

// Base of every node kept in a CNodeList. A node knows its 0-based position
// in the list that owns it; the list renumbers positions after every change.
class CListNode {
  public:
    CListNode() = default;
    virtual ~CListNode() = default;
    CListNode(const CListNode&) = delete;
    CListNode& operator=(const CListNode&) = delete;

    // Numeric sort key; by default the node's position.
    virtual long SortKey() const { return position_; }
    int Position() const { return position_; }

  private:
    template <typename T>
    friend class CNodeList;
    int position_ = 0;
};

// Ordered list that owns its nodes. T must derive from CListNode.
// After every Append, Remove and Sort the positions read 0, 1, 2, ... in
// list order. Pointers to nodes stay valid until the node is removed or
// the list is cleared or destroyed.
template <typename T>
class CNodeList {
  public:
    using Storage = std::vector<std::unique_ptr<T>>;

    CNodeList() = default;
    CNodeList(const CNodeList&) = delete;
    CNodeList& operator=(const CNodeList&) = delete;
    CNodeList(CNodeList&&) noexcept = default;
    CNodeList& operator=(CNodeList&&) noexcept = default;

    // Takes ownership of `node`, appends it at the end and returns it.
    // Expects a non-null node.
    T* Append(std::unique_ptr<T> node) {
        T* raw = node.get();
        raw->position_ = static_cast<int>(nodes_.size());
        nodes_.push_back(std::move(node));
        return raw;
    }

    // Unlinks and destroys `node`. Returns false (and does nothing) when the
    // node is not in this list.
    bool Remove(const T* node) {
        auto it = std::find_if(nodes_.begin(), nodes_.end(),
                               [node](const std::unique_ptr<T>& n) { return n.get() == node; });
        if (it == nodes_.end()) {
            return false;
        }
        nodes_.erase(it);
        Renumber();
        return true;
    }

    // Destroys every node.
    void Clear() { nodes_.clear(); }

    // Reorders the nodes so that `less(a, b)` holds for neighbours where it
    // decides; equal nodes keep no defined order. Renumbers afterwards.
    void Sort(const std::function<bool(const T&, const T&)>& less) {
        std::sort(nodes_.begin(), nodes_.end(),
                  [&less](const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) {
                      return less(*a, *b);
                  });
        Renumber();
    }

    // Like Sort, but stable and linear for a list that is already sorted
    // except for a few nodes, such as one just appended.
    void InsertionSort(const std::function<bool(const T&, const T&)>& less) {
        for (std::size_t i = 1; i < nodes_.size(); ++i) {
            for (std::size_t j = i; j > 0 && less(*nodes_[j], *nodes_[j - 1]); --j) {
                std::swap(nodes_[j], nodes_[j - 1]);
            }
        }
        Renumber();
    }

    int Count() const { return static_cast<int>(nodes_.size()); }
    bool Empty() const { return nodes_.empty(); }
    // The first node, or null for an empty list.
    T* First() const { return nodes_.empty() ? nullptr : nodes_.front().get(); }
    // The node appended last that is still in the list, or null.
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

  private:
    void Renumber() {
        for (std::size_t i = 0; i < nodes_.size(); ++i) {
            nodes_[i]->position_ = static_cast<int>(i);
        }
    }

    Storage nodes_;
};

}  // namespace pellandrix
