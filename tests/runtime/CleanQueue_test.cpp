#include <gtest/gtest.h>

#include <vector>

#include "runtime/CleanQueue.h"
#include "runtime/Smart_pointer.h"

namespace {

template <unsigned N>
std::vector<int> drain(CleanQueue<int, N>& q)
{
    std::vector<int> out;
    for (int v; q.get(v);)
        out.push_back(v);
    return out;
}

TEST(CleanQueue, FullQueueRefusesPutAndAppend)
{
    CleanQueue<int, 7> q;
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(q.put(i));
    EXPECT_FALSE(q.put(7));
    EXPECT_FALSE(q.append(8));
    EXPECT_EQ(q.count(), 7u);
    EXPECT_EQ(drain(q), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST(CleanQueue, AppendGoesFirstAndGetLastTakesNewest)
{
    CleanQueue<int, 7> q;
    q.put(1);
    q.put(2);
    q.append(3);   // read steps back from 0 to 6
    int v = 0;
    ASSERT_TRUE(q.get_last(&v));
    EXPECT_EQ(v, 2);
    EXPECT_EQ(drain(q), (std::vector<int>{3, 1}));
}

TEST(CleanQueue, WrapsAroundTheRing)
{
    CleanQueue<int, 3> q;
    for (int round = 0; round < 5; ++round) {
        EXPECT_TRUE(q.put(round));
        EXPECT_TRUE(q.put(round + 10));
        EXPECT_EQ(drain(q), (std::vector<int>{round, round + 10}));
    }
    // write sits at index 1: get_last steps it back across the wrap
    q.put(100);
    q.put(101);
    q.put(102);
    EXPECT_FALSE(q.put(103));
    int v = 0;
    ASSERT_TRUE(q.get_last(&v));
    EXPECT_EQ(v, 102);
    EXPECT_EQ(drain(q), (std::vector<int>{100, 101}));
}

TEST(CleanQueue, EmptyQueueLeavesTargetsAlone)
{
    CleanQueue<int, 7> q;
    int v = 42;
    EXPECT_FALSE(q.get(v));
    EXPECT_FALSE(q.get(&v));
    EXPECT_FALSE(q.get_last(&v));
    EXPECT_FALSE(q.preview(&v));
    EXPECT_EQ(v, 42);
    q.put(5);
    EXPECT_TRUE(q.preview(nullptr));
    EXPECT_TRUE(q.preview(&v));
    EXPECT_EQ(v, 5);
    EXPECT_EQ(q.count(), 1u);
}

struct Buffer
{
    explicit Buffer(int v) : value(v) { ++alive; }
    ~Buffer() { --alive; }
    unsigned refcount = 0;
    int value;
    static int alive;
};
int Buffer::alive = 0;

using Handle = Smart_pointer<Buffer>;

TEST(CleanQueue, HoldsReferencesOnlyWhileQueued)
{
    {
        CleanQueue<Handle, 4> q;
        q.put(Handle(new Buffer(1)));
        q.put(Handle(new Buffer(2)));
        q.append(Handle(new Buffer(3)));
        Handle h;
        ASSERT_TRUE(q.get(h));
        EXPECT_EQ(h->value, 3);
        h = nullptr;
        EXPECT_EQ(Buffer::alive, 2);   // the slot gave up its reference
        ASSERT_TRUE(q.get_last(&h));
        EXPECT_EQ(h->value, 2);
        h = nullptr;
        EXPECT_EQ(Buffer::alive, 1);
        ASSERT_TRUE(q.preview(&h));
        EXPECT_EQ(h->refcount, 2u);
        h = nullptr;

        q.clear();   // releases what it held
        EXPECT_EQ(Buffer::alive, 0);
        EXPECT_TRUE(q.empty());
        q.put(Handle(new Buffer(4)));
    }
    EXPECT_EQ(Buffer::alive, 0);   // the destructor released the rest
}

} // namespace
