#include <gtest/gtest.h>

#include <vector>

#include "runtime/Cyclic.h"
#include "runtime/CyclicList.h"

namespace {

using Seq = Cyclic<unsigned, 127>;

TEST(Cyclic, WrapsModulo128)
{
    EXPECT_EQ(unsigned(Seq()), 0u);
    EXPECT_EQ(unsigned(Seq(130)), 2u);
    EXPECT_EQ(unsigned(Seq(127) + Seq(1)), 0u);
    EXPECT_EQ(unsigned(Seq(100) + Seq(100)), 72u);
    Seq s(127);
    EXPECT_EQ(unsigned(s++), 127u);
    EXPECT_EQ(unsigned(s), 0u);
    EXPECT_EQ(unsigned(--s), 127u);
    EXPECT_EQ(unsigned(++s), 0u);
}

TEST(Cyclic, WindowAcross127To0)
{
    EXPECT_TRUE(Seq(120) <= Seq(125) <= Seq(3));
    EXPECT_TRUE(Seq(120) <= Seq(0) <= Seq(3));
    EXPECT_TRUE(Seq(120) <= Seq(127) <= Seq(3));
    EXPECT_TRUE(Seq(120) <= Seq(120) <= Seq(3));   // both ends included
    EXPECT_TRUE(Seq(120) <= Seq(3) <= Seq(3));
    EXPECT_FALSE(Seq(120) <= Seq(5) <= Seq(3));
    EXPECT_FALSE(Seq(120) <= Seq(119) <= Seq(3));
    EXPECT_TRUE(Seq(10) <= Seq(20) <= Seq(30));
    EXPECT_FALSE(Seq(10) <= Seq(31) <= Seq(30));
    EXPECT_TRUE(Seq(7) <= Seq(7) <= Seq(7));
}

struct Receiver
{
    explicit Receiver(int v) : value(v) {}
    virtual ~Receiver() = default;
    int value;
    Containers::CyclicList link;
};

std::vector<int> walk(Containers::CyclicList& head)
{
    std::vector<int> out;
    for (auto it = head.begin(); it != head.end(); ++it)
        out.push_back(Containers::offset(&*it, &Receiver::link)->value);
    return out;
}

TEST(CyclicList, TailInsertUnlinkAndOffset)
{
    Containers::CyclicList head;
    EXPECT_TRUE(walk(head).empty());
    EXPECT_TRUE(head.empty());

    Receiver a(1), b(2), c(3);
    head.InternalAddTail(&a.link);
    head.InternalAddTail(&b.link);
    head.InternalAddTail(&c.link);
    EXPECT_EQ(walk(head), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Containers::offset(&b.link, &Receiver::link), &b);

    Containers::CyclicList::InternalDel(b.link.prev, b.link.next);
    EXPECT_EQ(walk(head), (std::vector<int>{1, 3}));
    c.link.Unlink();
    EXPECT_EQ(c.link.next, &c.link);
    EXPECT_EQ(walk(head), (std::vector<int>{1}));
    EXPECT_EQ(head.prev, &a.link);
    a.link.Unlink();
    EXPECT_TRUE(head.empty());
}

} // namespace
