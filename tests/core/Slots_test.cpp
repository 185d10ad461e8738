#include "SlotTestSupport.h"

#include "core/SlotConnection.h"

using namespace slottest;
using V = std::vector<std::string>;

namespace {

class SlotRegistry : public SlotsLink, protected HookLog {
protected:
    SlotRegistry()
    {
        factory.made = [this](TestSlot& s) {
            s.name = "slot" + std::to_string(++made);
            if (made_)
                made_(s);
        };
    }
    // The slots go before the factory that listed them.
    ~SlotRegistry() override { server.Deactivate(); }

    TestSlot* find(unsigned id) { return static_cast<TestSlot*>(Slots::instance().Find(id)); }
    static std::string ok(int slot) { return "slot=" + std::to_string(slot) + " success"; }
    static std::string error(int slot, int cause)
    {
        return "slot=" + std::to_string(slot) + " error " + std::to_string(cause);
    }
    ChainGuard guard;
    TestFactory factory{log};
    int made = 0;
    std::function<void(TestSlot&)> made_;
};

} // namespace

TEST_F(SlotRegistry, QueryAnswersThenReportsResources)
{
    LGCP::Message query = simple(-1, LGCP::Command::query_chosen);
    EXPECT_EQ(send(query), (V{"success", "query"}));
    LGCP::Message report;
    ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
    ASSERT_TRUE(ASN1::decode(raw[1].data(), raw[1].data() + raw[1].size(), &env, report, true));
    const LGCP::Resources& r = report.get_pdu().get_signal().get_query();
    EXPECT_TRUE(r.get_mux().getValue());
    EXPECT_EQ(r.get_modem().getValue(), 2);
    EXPECT_EQ(r.get_rtp_g711().getValue(), 0);
    EXPECT_FALSE(r.has_drvVersion());
    EXPECT_EQ(r.get_mixer().size(), 0u);

    // With a slot it is nobody's command.
    EXPECT_EQ(send(simple(4, LGCP::Command::query_chosen)), V{error(4, 4)});
    // Without a slot only query is taken.
    EXPECT_EQ(send(simple(-1, LGCP::Command::destroy_chosen)), V{"error 4"});
}

TEST_F(SlotRegistry, CreateAnswersFirstAndDestroyPartsBothSides)
{
    made_ = [](TestSlot& s) { s.activateOnCreate = true; };
    EXPECT_EQ(send(create(1, 100, 200)), (V{ok(1), "slot=1 activated"}));
    EXPECT_EQ(send(create(2, 101, 201)), (V{ok(2), "slot=2 activated"}));
    EXPECT_EQ(send(create(3, 102, 202)), (V{ok(3), "slot=3 activated"}));
    EXPECT_EQ(send(connect(1, 2)), (V{"slot=1 transmitter active 100", "slot=2 receiver active 201", ok(1)}));
    EXPECT_EQ(send(connect(2, 3)), (V{"slot=2 transmitter active 101", "slot=3 receiver active 202", ok(2)}));
    take();

    EXPECT_EQ(send(simple(2, LGCP::Command::destroy_chosen)), V{ok(2)});
    EXPECT_EQ(take(), (V{"slot1 hwDisconnectTransmitter slot2", "slot2 inputRelease", "slot1 outputRelease",
                         "slot2 hwDisconnectTransmitter slot3", "slot3 inputRelease", "slot2 outputRelease",
                         "slot2 beforeDestroy", "slot2 deleted"}));
    EXPECT_EQ(find(2), nullptr);
    EXPECT_TRUE(find(1)->GetReceivers().empty());
    EXPECT_EQ(find(3)->GetSource(), nullptr);
    EXPECT_EQ(factory.GetSlots().size(), 2u);
    EXPECT_EQ(send(simple(2, LGCP::Command::destroy_chosen)), V{error(2, 3)});
    EXPECT_EQ(send(simple(2, LGCP::Command::disconnect_chosen)), V{error(2, 3)});
}

TEST_F(SlotRegistry, ConnectTargets)
{
    send(create(1, 100, 200));
    EXPECT_EQ(send(connect(1, 7)), V{error(1, 3)});
    EXPECT_EQ(send(connect(3, 1)), V{error(3, 3)});

    // 1024 fits the two octets of the target on the wire.
    LGCP::Message m = connect(1, 1023);
    m.include_seq().setValue(++seq);
    std::string bytes = ctrltest::encode(m);
    ASSERT_EQ(bytes.substr(bytes.size() - 2), std::string("\x03\xFF"));
    bytes.replace(bytes.size() - 2, 2, std::string("\x04\x00", 2));
    EXPECT_EQ(sendRaw(bytes), V{error(1, 2)});

    // A slot without an output stream cannot feed another.
    send(create(2, 101, 201));
    find(1)->hasOutput = false;
    EXPECT_EQ(send(connect(1, 2)), V{error(1, 9)});
    EXPECT_EQ(err.str(), "slot 01:test don't have output stream to 02:test\n");
}

TEST_F(SlotRegistry, SlotHooksAnswerUnsupportedByDefault)
{
    send(create(1, 100, 200));
    LGCP::Message data = request(1);
    data.get_pdu().set_command().set_userData(std::string("hi"));
    LGCP::Message activate = request(1);
    activate.get_pdu().set_command().set_activate().set_empty();
    LGCP::Message ioctl = request(1);
    ioctl.get_pdu().set_command().set_ioctl().set_deactivateRecord();
    LGCP::Message deactivate = simple(1, LGCP::Command::deactivate_chosen);

    for (LGCP::Message* m : {&data, &activate, &ioctl, &deactivate})
        EXPECT_EQ(send(*m), V{error(1, 6)});
    find(1)->supported = true;
    for (LGCP::Message* m : {&data, &activate, &ioctl, &deactivate})
        EXPECT_EQ(send(*m), V{ok(1)});
    EXPECT_EQ(send(simple(1, LGCP::Command::destroy_chosen)), V{ok(1)});
    for (LGCP::Message* m : {&data, &activate, &ioctl, &deactivate})
        EXPECT_EQ(send(*m), V{error(1, 3)});
    V got = take();
    EXPECT_EQ(std::count(got.begin(), got.end(), "slot1 userData hi"), 2);
}

TEST_F(SlotRegistry, CreateOverAnOccupiedId)
{
    send(create(1, 100, 200));
    take();
    EXPECT_EQ(send(create(1, 102, 202)), V{ok(1)});
    EXPECT_EQ(take(), (V{"slot1 beforeDestroy", "slot1 deleted", "Test asked", "slot2 afterCreate"}));
    EXPECT_EQ(find(1)->IGetTransmitChannel(), 102);

    // Nobody serves: the id stays free.
    factory.serve = false;
    EXPECT_EQ(send(create(3, 1, 2)), V{error(3, 1)});
    EXPECT_EQ(find(3), nullptr);
    ChainGuard empty;
    EXPECT_EQ(send(create(4, 1, 2)), V{error(4, 1)});
}

TEST_F(SlotRegistry, AsynchronousDestructionIsAnsweredWhenDone)
{
    made_ = [](TestSlot& s) { s.onBeforeDestroy = [](TestSlot&) { return false; }; };
    send(create(1, 100, 200));
    send(create(2, 101, 201));
    EXPECT_EQ(send(simple(1, LGCP::Command::destroy_chosen)), V{});
    const int destroySeq = seq;
    TestSlot* pending = find(1);
    ASSERT_NE(pending, nullptr);
    EXPECT_TRUE(pending->IsDestroying());

    EXPECT_EQ(send(simple(1, LGCP::Command::destroy_chosen)), V{error(1, 12)});
    EXPECT_EQ(send(create(1, 1, 2)), V{error(1, 12)});
    // Still reachable as any live slot, as receiver and as source.
    send(create(3, 102, 202));
    EXPECT_EQ(send(connect(2, 1)), (V{"slot=2 transmitter active 101", "slot=1 receiver active 200", ok(2)}));
    EXPECT_EQ(send(connect(1, 3)), (V{"slot=1 transmitter active 100", "slot=3 receiver active 202", ok(1)}));
    EXPECT_EQ(pending->GetSource(), find(2));

    // Completing parts it from both sides before it goes.
    take();
    pending->on_release();
    EXPECT_EQ(take(), (V{"slot2 hwDisconnectTransmitter slot1", "slot1 inputRelease", "slot2 outputRelease",
                         "slot1 hwDisconnectTransmitter slot3", "slot3 inputRelease", "slot1 outputRelease",
                         "slot1 deleted"}));
    EXPECT_EQ(sync(), V{"seq=" + std::to_string(destroySeq) + " slot=1 success"});
    EXPECT_EQ(find(1), nullptr);
    EXPECT_TRUE(find(2)->GetReceivers().empty());
    EXPECT_EQ(find(3)->GetSource(), nullptr);
    EXPECT_EQ(sim.hal().output(202).byte, HwMux::kIdle);
    EXPECT_EQ(send(simple(3, LGCP::Command::disconnect_chosen)), V{ok(3)});
    EXPECT_EQ(factory.GetSlots().size(), 2u);
}

TEST_F(SlotRegistry, PendingWithoutDestroyCommandCompletesSilently)
{
    made_ = [](TestSlot& s) { s.onBeforeDestroy = [](TestSlot&) { return false; }; };
    send(create(1, 100, 200));
    EXPECT_EQ(send(create(1, 1, 2)), V{error(1, 11)});
    TestSlot* pending = find(1);
    ASSERT_NE(pending, nullptr);
    EXPECT_TRUE(pending->IsDestroying());
    pending->on_release();
    EXPECT_EQ(sync(), V{});
    EXPECT_EQ(find(1), nullptr);
    EXPECT_TRUE(factory.GetSlots().empty());
}

TEST_F(SlotRegistry, ReleaseFromInsideTheDestroyHook)
{
    made_ = [](TestSlot& s) {
        s.onBeforeDestroy = [](TestSlot& self) {
            self.on_release();
            // Still alive here: deleted once Destroy is done with it.
            self.note("after release");
            return false;
        };
    };
    send(create(1, 100, 200));
    take();
    EXPECT_EQ(send(simple(1, LGCP::Command::destroy_chosen)), V{ok(1)});
    EXPECT_EQ(take(), (V{"slot1 beforeDestroy", "slot1 after release", "slot1 deleted"}));
    EXPECT_EQ(find(1), nullptr);
    EXPECT_TRUE(factory.GetSlots().empty());
}

TEST_F(SlotRegistry, LosingTheControllerDestroysEverySlotSilently)
{
    send(create(1, 100, 200));
    send(create(2, 101, 201));
    send(connect(1, 2));
    made_ = [](TestSlot& s) { s.onBeforeDestroy = [](TestSlot&) { return false; }; };
    send(create(3, 102, 202));
    send(create(4, 103, 203));
    send(simple(4, LGCP::Command::destroy_chosen));
    probe.signals.clear();
    take();

    client.reset();
    EXPECT_TRUE(looptest::runUntil([] { return g_sleeps != 0; }));
    EXPECT_EQ(g_sleeps, 1u);
    EXPECT_TRUE(probe.signals.empty());
    for (unsigned id = 1; id <= 4; ++id)
        EXPECT_EQ(find(id), nullptr);
    EXPECT_TRUE(Slots::instance().GetLive().empty());
    // The pending ones left their factory too.
    EXPECT_TRUE(factory.GetSlots().empty());
    V got = take();
    // Slot 4 was already being destroyed: its hook is not run again.
    EXPECT_EQ(got, (V{"slot1 hwDisconnectTransmitter slot2",
                      "slot2 inputRelease", "slot1 outputRelease", "slot1 beforeDestroy", "slot1 deleted",
                      "slot2 beforeDestroy", "slot2 deleted", "slot3 beforeDestroy", "slot3 deleted",
                      "slot4 deleted"}));

    // Every loss waits, also with no slot at all.
    server.OnDisconnect();
    EXPECT_EQ(g_sleeps, 2u);
}

TEST_F(SlotRegistry, TrunkStatusReachesEveryFactory)
{
    TestFactory second(log, "Second");
    take();
    LGCP::Signal status;
    status.set_trunkStatus().set_trunk(2);
    probe.SendSignal(status);
    LGCP::Signal other;
    other.set_activated();
    probe.SendSignal(other);
    EXPECT_EQ(take(), (V{"Second selfSignal 11", "Test selfSignal 11"}));
    firstFactory = &factory;
}
