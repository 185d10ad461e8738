#include <gtest/gtest.h>

#include "runtime/CleanQueue.h"
#include "runtime/Smart_pointer.h"

namespace {

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

int valueOf(const Handle& h) { return h.isNull() ? -1 : h->value; }

TEST(CleanQueue, FullQueueRefusesPutAndAppend)
{
    CleanQueue<int, 7> q;
    EXPECT_EQ(q.size(), 7u);
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(q.put(i));
    EXPECT_FALSE(q.put(7));
    EXPECT_FALSE(q.append(8));
    EXPECT_EQ(q.count(), 7u);
    int v = -1;
    EXPECT_TRUE(q.get(v));
    EXPECT_EQ(v, 0);
}

TEST(CleanQueue, AppendGoesFirstAndGetLastTakesNewest)
{
    CleanQueue<int, 7> q;
    q.put(1);
    q.put(2);
    q.append(3);   // read steps back from 0 to 6
    int v = 0;
    ASSERT_TRUE(q.get(&v));
    EXPECT_EQ(v, 3);
    ASSERT_TRUE(q.get(v));
    EXPECT_EQ(v, 1);
    ASSERT_TRUE(q.get(v));
    EXPECT_EQ(v, 2);
    EXPECT_TRUE(q.empty());

    CleanQueue<int, 7> r;
    r.put(1);
    r.put(2);
    r.append(3);
    ASSERT_TRUE(r.get_last(&v));
    EXPECT_EQ(v, 2);
    EXPECT_EQ(r.count(), 2u);
}

TEST(CleanQueue, WrapsAroundTheRing)
{
    CleanQueue<int, 3> q;
    int v = 0;
    for (int round = 0; round < 5; ++round) {
        EXPECT_TRUE(q.put(round * 10));
        EXPECT_TRUE(q.put(round * 10 + 1));
        ASSERT_TRUE(q.get(v));
        EXPECT_EQ(v, round * 10);
        ASSERT_TRUE(q.get(v));
        EXPECT_EQ(v, round * 10 + 1);
    }
    // write is now at index 1: get_last steps it back across the wrap too
    q.put(100);
    q.put(101);
    q.put(102);
    EXPECT_FALSE(q.put(103));
    ASSERT_TRUE(q.get_last(&v));
    EXPECT_EQ(v, 102);
    ASSERT_TRUE(q.get(v));
    EXPECT_EQ(v, 100);
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

TEST(CleanQueue, HoldsReferencesOnlyWhileQueued)
{
    {
        CleanQueue<Handle, 4> q;
        q.put(Handle(new Buffer(1)));
        q.put(Handle(new Buffer(2)));
        q.append(Handle(new Buffer(3)));
        EXPECT_EQ(Buffer::alive, 3);
        Handle h;
        ASSERT_TRUE(q.get(h));
        EXPECT_EQ(valueOf(h), 3);
        h = nullptr;
        EXPECT_EQ(Buffer::alive, 2);   // the slot gave up its reference
        ASSERT_TRUE(q.get_last(&h));
        EXPECT_EQ(valueOf(h), 2);
        h = nullptr;
        EXPECT_EQ(Buffer::alive, 1);
        Handle peek;
        ASSERT_TRUE(q.preview(&peek));
        EXPECT_EQ(peek->refcount, 2u);
        peek = nullptr;

        q.clear();   // releases what it held
        EXPECT_EQ(Buffer::alive, 0);
        EXPECT_TRUE(q.empty());
        q.put(Handle(new Buffer(4)));
    }
    EXPECT_EQ(Buffer::alive, 0);   // the destructor released the rest
}

} // namespace
