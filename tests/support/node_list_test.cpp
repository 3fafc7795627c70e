#include "support/node_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace pellandrix {
namespace {

struct Node : CListNode {
    explicit Node(int v, int* destroyed = nullptr) : value(v), destroyed(destroyed) {}
    ~Node() override {
        if (destroyed != nullptr) {
            ++*destroyed;
        }
    }
    int value;
    int* destroyed;
};

std::vector<int> Values(const CNodeList<Node>& list) {
    std::vector<int> out;
    for (const Node& n : list) {
        out.push_back(n.value);
    }
    return out;
}

void ExpectNumbered(const CNodeList<Node>& list) {
    int expected = 0;
    for (const Node& n : list) {
        EXPECT_EQ(n.Position(), expected);
        EXPECT_EQ(n.SortKey(), expected);
        ++expected;
    }
    EXPECT_EQ(list.Count(), expected);
}

TEST(NodeList, AppendRemoveAndSortRenumberPositions) {
    CNodeList<Node> list;
    Node* a = list.Append(std::make_unique<Node>(30));
    Node* b = list.Append(std::make_unique<Node>(10));
    list.Append(std::make_unique<Node>(20));
    ExpectNumbered(list);
    EXPECT_EQ(list.First(), a);

    EXPECT_TRUE(list.Remove(a));
    ExpectNumbered(list);
    EXPECT_EQ(Values(list), (std::vector<int>{10, 20}));
    EXPECT_EQ(b->Position(), 0);

    list.Append(std::make_unique<Node>(5));
    list.Sort([](const Node& x, const Node& y) { return x.value < y.value; });
    EXPECT_EQ(Values(list), (std::vector<int>{5, 10, 20}));
    ExpectNumbered(list);
    EXPECT_EQ(list.Last()->value, 20);
}

TEST(NodeList, OwnsItsNodes) {
    int destroyed = 0;
    {
        CNodeList<Node> list;
        Node* a = list.Append(std::make_unique<Node>(1, &destroyed));
        list.Append(std::make_unique<Node>(2, &destroyed));
        list.Append(std::make_unique<Node>(3, &destroyed));
        list.Remove(a);
        EXPECT_EQ(destroyed, 1);
        Node stranger(9);
        EXPECT_FALSE(list.Remove(&stranger));
        EXPECT_EQ(list.Count(), 2);
        list.Clear();
        EXPECT_EQ(destroyed, 3);
        EXPECT_TRUE(list.Empty());
        EXPECT_EQ(list.First(), nullptr);
        list.Append(std::make_unique<Node>(4, &destroyed));
    }
    EXPECT_EQ(destroyed, 4);
}

TEST(NodeList, SortTailPlacesNewNodesStablyAndKeepsNumbering) {
    CNodeList<Node> list;
    for (int v : {9, 7, 7, 3}) {
        list.Append(std::make_unique<Node>(v));
    }
    Node* newSeven = list.Append(std::make_unique<Node>(7));
    Node* ten = list.Append(std::make_unique<Node>(10));
    list.Append(std::make_unique<Node>(1));
    const auto descending = [](const Node& a, const Node& b) { return a.value > b.value; };
    list.SortTail(4, descending);
    EXPECT_EQ(Values(list), (std::vector<int>{10, 9, 7, 7, 7, 3, 1}));
    // Equal values keep their order: the new 7 goes behind the old ones.
    EXPECT_EQ(newSeven->Position(), 4);
    EXPECT_EQ(ten->Position(), 0);
    ExpectNumbered(list);
    list.Remove(ten);
    EXPECT_EQ(newSeven->Position(), 3);
    ExpectNumbered(list);
}

TEST(NodeList, MovedListKeepsOwnershipAndNumbering) {
    CNodeList<Node> list;
    Node* a = list.Append(std::make_unique<Node>(1));
    list.Append(std::make_unique<Node>(2));
    CNodeList<Node> moved(std::move(list));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(moved.Remove(a));
    EXPECT_EQ(moved.First()->Position(), 0);
    EXPECT_FALSE(list.Remove(moved.First()));
}

}  // namespace
}  // namespace pellandrix
