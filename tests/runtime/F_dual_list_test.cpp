#include <gtest/gtest.h>

#include <vector>

#include "runtime/F_dual_list.h"

namespace {

struct Node : F_dual_list_item<Node>
{
    explicit Node(int v = 0, int k = 0) : value(v), key(k) {}
    int compare(const Node& other) const { return key - other.key; }
    int value;
    int key;
};

using List = F_dual_list<Node>;

std::vector<int> values(const List& list)
{
    std::vector<int> out;
    for (auto it = list.begin(); it != list.end(); ++it)
        out.push_back(it->value);
    return out;
}

std::vector<int> backwards(const List& list)
{
    std::vector<int> out;
    for (const Node* n = list.last(); n != nullptr; n = n->prev)
        out.push_back(n->value);
    return out;
}

struct DualList : ::testing::Test
{
    DualList()
    {
        for (int i = 0; i < 5; ++i)
            nodes[i].value = i;
        for (auto& n : nodes)
            list.insert_to_tail(&n);
    }
    Node nodes[5];
    List list;
};

TEST_F(DualList, RemoveAnywhereAndFromTheEnds)
{
    list.remove(&nodes[2]);
    list.remove(&nodes[4]);
    list.remove(&nodes[0]);
    EXPECT_EQ(values(list), (std::vector<int>{1, 3}));
    EXPECT_EQ(backwards(list), (std::vector<int>{3, 1}));
    EXPECT_EQ(list.count(), 2u);
    EXPECT_EQ(list.first(), &nodes[1]);
    EXPECT_EQ(list.last(), &nodes[3]);
    EXPECT_TRUE(list.valid());
    EXPECT_EQ(list.remove_from_tail(), &nodes[3]);
    EXPECT_EQ(list.remove_from_head(), &nodes[1]);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.first(), nullptr);
    EXPECT_EQ(list.last(), nullptr);
    EXPECT_EQ(list.remove_from_head(), nullptr);
    EXPECT_EQ(list.remove_from_tail(), nullptr);

    list.insert_to_head(&nodes[0]);   // into an empty list: also the tail
    EXPECT_EQ(list.last(), &nodes[0]);
    EXPECT_EQ(list.remove_from_head(), &nodes[0]);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_TRUE(list.valid());
}

TEST_F(DualList, InsertAtHeadAndAfter)
{
    Node a(10), b(11), c(12);
    list.insert_to_head(&a);
    list.insert_after(&nodes[2], &b);
    list.insert_after(&nodes[4], &c);   // after the tail: becomes the tail
    EXPECT_EQ(values(list), (std::vector<int>{10, 0, 1, 2, 11, 3, 4, 12}));
    EXPECT_EQ(backwards(list), (std::vector<int>{12, 4, 3, 11, 2, 1, 0, 10}));
    EXPECT_TRUE(list.valid());
}

TEST_F(DualList, MergeExchangesTheLists)
{
    List other;
    Node x(20), y(21);
    other.push_back(&x);
    other.push_back(&y);
    list.merge(other);
    EXPECT_EQ(values(list), (std::vector<int>{20, 21}));
    EXPECT_EQ(values(other), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(other.count(), 5u);

    List empty;
    other.merge(empty);
    EXPECT_TRUE(other.empty());
    EXPECT_EQ(empty.count(), 5u);
    EXPECT_TRUE(other.valid() && empty.valid() && list.valid());
}

TEST(DualListInit, LinksStorageInAddressOrder)
{
    static Node pool[4];
    List list;
    list.init(pool, 4);
    EXPECT_EQ(list.count(), 4u);
    EXPECT_EQ(list.first(), &pool[0]);
    EXPECT_EQ(list.last(), &pool[3]);
    EXPECT_EQ(pool[1].next, &pool[2]);
    EXPECT_TRUE(list.valid());
}

TEST(SortedList, AscendingWithTiesInInsertionOrder)
{
    F_sorted_list<Node> list;
    Node n[] = {Node(0, 5), Node(1, 3), Node(2, 5), Node(3, 9), Node(4, 1), Node(5, 3)};
    for (auto& node : n)
        list.insert_to_tail_by_grown(&node);
    std::vector<int> order;
    for (auto& node : list)
        order.push_back(node.value);
    EXPECT_EQ(order, (std::vector<int>{4, 1, 5, 0, 2, 3}));
    EXPECT_EQ(list.count(), 6u);
    EXPECT_TRUE(list.valid());
}

} // namespace
