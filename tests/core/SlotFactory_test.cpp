#include "SlotTestSupport.h"

using namespace slottest;

TEST(SlotFactoryChain, NewestFirstAndSlotsListedUntilRemoved)
{
    ChainGuard guard;
    EXPECT_EQ(firstFactory, nullptr);
    std::vector<std::string> log;
    {
        TestFactory older(log, "older");
        TestFactory newer(log, "newer");
        EXPECT_EQ(firstFactory, &newer);
        EXPECT_EQ(newer.GetNext(), &older);
        EXPECT_EQ(older.GetNext(), nullptr);

        LGCP::CreateParams ext;
        ext.set_ext().set_transmitter(1);
        LGCP::CreateParams trunk;
        trunk.set_trunk();
        EXPECT_EQ(older.NewSlot(trunk), nullptr);
        EXPECT_TRUE(older.GetSlots().empty());

        Slot* a = older.NewSlot(ext);
        Slot* b = older.NewSlot(ext);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->GetFactory(), &older);
        EXPECT_EQ(older.GetSlots().first(), a);
        EXPECT_EQ(older.GetSlots().last(), b);

        older.Remove(a);
        EXPECT_EQ(older.GetSlots().size(), 1u);
        EXPECT_EQ(older.GetSlots().first(), b);
        // Another factory's slot, or one already gone, changes nothing.
        newer.Remove(b);
        older.Remove(a);
        EXPECT_EQ(older.GetSlots().size(), 1u);
        EXPECT_TRUE(older.GetSlots().valid());
        older.Remove(b);
        EXPECT_TRUE(older.GetSlots().empty());
        delete a;
        delete b;
    }
}
