#include "SlotTestSupport.h"

#include "core/SlotConnection.h"

using namespace slottest;
using V = std::vector<std::string>;

namespace {

// Three slots on the switch, the stream signals they send seen by a probe
// service bound beside Slots (the server has no transport).
class SlotConnection : public SignalCapture, protected HookLog {
protected:
    SlotConnection() : sim(board())
    {
        a.name = "A";
        b.name = "B";
        c.name = "C";
        a.SetId(1);
        b.SetId(2);
        c.SetId(3);
        sim.clearRequests();
        clog_.clear();
    }

    V streams()
    {
        V out;
        for (const LGCP::Signal& s : signals())
            out.push_back(signalText(s));
        return out;
    }

    SimBoard& sim;
    TestSlot a{log, 10, 20};
    TestSlot b{log, 11, 21};
    TestSlot c{log, 12, 22};
};

} // namespace

TEST_F(SlotConnection, FirstConnectTakesBothStreamsAndTheReceiverMakesTheLink)
{
    ASSERT_TRUE(Connect(a, c));
    EXPECT_EQ(take(), (V{"A outputStream", "C inputStream", "C hwConnectReceiver A"}));
    EXPECT_EQ(streams(), (V{"transmitter active 10", "receiver active 22"}));
    EXPECT_EQ(switchConnects(sim), V{"22 <- 10"});
    EXPECT_EQ(clog_.str(), "mux: slot 01:test [10] -> 03:test [22]\n");
    EXPECT_EQ(c.GetSource(), &a);
    EXPECT_EQ(a.GetReceivers(), std::vector<Slot*>{&c});
    EXPECT_TRUE(a.IsOutputStream());
    EXPECT_TRUE(c.IsInputStream());

    // The same pair again: nothing at all.
    sim.clearRequests();
    EXPECT_TRUE(Connect(a, c));
    EXPECT_EQ(take(), V{});
    EXPECT_EQ(streams(), V{});
    EXPECT_TRUE(sim.requests().empty());

    // The transmitter parts them; the receive channel goes idle.
    clog_.clear();
    EXPECT_TRUE(Disconnect(c));
    EXPECT_EQ(take(), (V{"A hwDisconnectTransmitter C", "C inputRelease", "A outputRelease"}));
    EXPECT_EQ(sim.hal().output(22).setting, SimHal::Setting::Constant);
    EXPECT_EQ(sim.hal().output(22).byte, HwMux::kIdle);
    EXPECT_EQ(clog_.str(), "mux: disconnect slot 03:test [22]\n");
    EXPECT_EQ(c.GetSource(), nullptr);
    EXPECT_TRUE(a.GetReceivers().empty());
    // Releasing sends nothing.
    EXPECT_EQ(streams(), V{});

    EXPECT_TRUE(Disconnect(c));
    EXPECT_EQ(take(), V{});
}

TEST_F(SlotConnection, NewSourceReplacesTheOldOne)
{
    ASSERT_TRUE(Connect(b, c));
    take();
    streams();
    sim.clearRequests();

    ASSERT_TRUE(Connect(a, c));
    // B's link goes first, C keeps its input stream, B has nothing left to feed.
    EXPECT_EQ(take(), (V{"A outputStream", "B hwDisconnectTransmitter C", "C hwConnectReceiver A", "B outputRelease"}));
    EXPECT_EQ(streams(), V{"transmitter active 10"});
    EXPECT_EQ(switchConnects(sim), V{"22 <- 10"});
    EXPECT_EQ(c.GetSource(), &a);
    EXPECT_TRUE(b.GetReceivers().empty());
}

TEST_F(SlotConnection, SecondReceiverSharesTheOutputAndTheListStaysSorted)
{
    ASSERT_TRUE(Connect(a, c));
    streams();
    take();
    ASSERT_TRUE(Connect(a, b));
    EXPECT_EQ(take(), (V{"B inputStream", "B hwConnectReceiver A"}));
    EXPECT_EQ(streams(), V{"receiver active 21"});
    std::vector<Slot*> expected{&b, &c};
    std::sort(expected.begin(), expected.end(), std::less<Slot*>());
    EXPECT_EQ(a.GetReceivers(), expected);

    // Going inactive parts every receiver before the signal.
    a.OnChangeOutputStream(false);
    EXPECT_TRUE(a.GetReceivers().empty());
    EXPECT_EQ(b.GetSource(), nullptr);
    EXPECT_EQ(c.GetSource(), nullptr);
    EXPECT_EQ(streams(), V{"transmitter inactive"});
    a.OnChangeOutputStream(false);
    EXPECT_EQ(streams(), V{});
}

TEST_F(SlotConnection, HigherPriorityMakesAndBreaksTheLinkInBothDirections)
{
    a.priority = 1;
    ASSERT_TRUE(Connect(a, c));
    ASSERT_TRUE(Disconnect(c));
    V got = take();
    EXPECT_EQ(got[2], "A hwConnectTransmitter C");
    EXPECT_EQ(got[3], "A hwDisconnectTransmitter C");

    ASSERT_TRUE(Connect(c, a));
    ASSERT_TRUE(Disconnect(a));
    got = take();
    EXPECT_EQ(got[2], "A hwConnectReceiver C");
    EXPECT_EQ(got[3], "A hwDisconnectReceiver C");
    // The receiver's own channel is the one parted.
    EXPECT_EQ(sim.hal().output(20).byte, HwMux::kIdle);
}

TEST_F(SlotConnection, RefusedStreamsAndFailedLinksLeaveNoLogicalLink)
{
    b.hasOutput = false;
    EXPECT_FALSE(Connect(b, c));
    EXPECT_EQ(errors(), "slot 02:test don't have output stream to 03:test\n");
    EXPECT_EQ(take(), V{"B outputStream"});

    // The output taken for a receiver that has no input is given back.
    c.hasInput = false;
    EXPECT_FALSE(Connect(a, c));
    EXPECT_EQ(errors(), "slot 03:test don't have input stream from 01:test\n");
    EXPECT_EQ(take(), (V{"A outputStream", "C inputStream", "A outputRelease"}));
    EXPECT_EQ(streams(), V{"transmitter active 10"});

    // A switch that refuses the link: both streams released, signals stay.
    c.hasInput = true;
    sim.failIoctl("/dev/hal", Hal::kConnect, EIO);
    EXPECT_FALSE(Connect(a, c));
    EXPECT_EQ(take(), (V{"A outputStream", "C inputStream", "C hwConnectReceiver A", "C inputRelease", "A outputRelease"}));
    EXPECT_EQ(c.GetSource(), nullptr);
    EXPECT_TRUE(a.GetReceivers().empty());
}

TEST_F(SlotConnection, FailedReplacementDropsTheOldLinkToo)
{
    ASSERT_TRUE(Connect(b, c));
    take();
    sim.failIoctl("/dev/hal", Hal::kConnect, EIO);
    EXPECT_FALSE(Connect(a, c));
    EXPECT_EQ(take(), (V{"A outputStream", "B hwDisconnectTransmitter C", "C hwConnectReceiver A", "C inputRelease",
                         "B outputRelease", "A outputRelease"}));
    EXPECT_EQ(c.GetSource(), nullptr);
    EXPECT_TRUE(b.GetReceivers().empty());

    // The pair is linked again on the switch.
    sim.clearRequests();
    EXPECT_TRUE(Connect(b, c));
    EXPECT_EQ(switchConnects(sim), V{"22 <- 11"});
    EXPECT_EQ(c.GetSource(), &b);
}

TEST_F(SlotConnection, FailedUnlinkStillPartsTheSlots)
{
    ASSERT_TRUE(Connect(a, c));
    take();
    sim.failIoctl("/dev/hal", Hal::kWrite, EIO);
    EXPECT_FALSE(Disconnect(c));
    EXPECT_EQ(c.GetSource(), nullptr);
    EXPECT_TRUE(a.GetReceivers().empty());
    EXPECT_EQ(take(), (V{"A hwDisconnectTransmitter C", "C inputRelease", "A outputRelease"}));
}
