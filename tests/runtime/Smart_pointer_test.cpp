#include <gtest/gtest.h>

#include "runtime/Smart_pointer.h"

namespace {

struct Counted
{
    explicit Counted(int* deletions) : deleted(deletions) {}
    ~Counted() { ++*deleted; }
    unsigned refcount = 0;
    int* deleted;
    int value = 7;
};

using Ptr = Smart_pointer<Counted>;

TEST(SmartPointer, LastOfThreeCopiesDeletesOnce)
{
    int deleted = 0;
    auto* object = new Counted(&deleted);
    {
        Ptr a(object);
        EXPECT_EQ(object->refcount, 1u);
        {
            Ptr b(a);
            Ptr c(b);
            Ptr d = c;
            EXPECT_EQ(object->refcount, 4u);
        }
        EXPECT_EQ(object->refcount, 1u);
        EXPECT_EQ(deleted, 0);
    }
    EXPECT_EQ(deleted, 1);
}

TEST(SmartPointer, AssignmentTakesNewBeforeDroppingOld)
{
    int deleted = 0;
    auto* object = new Counted(&deleted);
    Ptr a(object);
    a = object;   // the same object again: kept alive
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(object->refcount, 1u);
    a = a;
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(a->value, 7);

    int deletedOther = 0;
    Ptr b(new Counted(&deletedOther));
    b = a;
    EXPECT_EQ(deletedOther, 1);
    EXPECT_EQ(object->refcount, 2u);
    EXPECT_TRUE(a == b);

    a = nullptr;
    b = static_cast<Counted*>(nullptr);
    EXPECT_EQ(deleted, 1);
    EXPECT_TRUE(a.isNull());
    EXPECT_FALSE(b);
}

TEST(SmartPointerDeathTest, NullDereferenceTerminatesWithMessage)
{
    Ptr null;
    EXPECT_TRUE(!null);
    EXPECT_DEATH(null->value = 1, "SMART POINTER ASSERTION!");
    const Ptr constNull;
    EXPECT_DEATH((void)(*constNull).value, "SMART POINTER ASSERTION!");
    EXPECT_DEATH(SharedPtrAssertion(), "SHARED POINTER ASSERTION!");
}

} // namespace
