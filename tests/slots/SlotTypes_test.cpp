#include "core/SlotTestSupport.h"

#include "daemon/Startup.h"
#include "slots/TrunkFactory.h"

using namespace slottest;
using V = std::vector<std::string>;

namespace {


class TrunkSlots : public SlotsLink {
protected:
    TrunkSlots() { Startup::buildSlotFactories(); }

    static LGCP::Message trunk(int slot, unsigned number, unsigned timeslot, bool bri = false)
    {
        LGCP::Message m = request(slot);
        LGCP::CreateParams& c = m.get_pdu().set_command().set_create();
        LGCP::TrunkParams& t = bri ? c.set_trunk_bri() : c.set_trunk();
        t.set_trunk(number);
        t.set_timeslot(timeslot);
        return m;
    }
    static LGCP::Message map(int slot, int txBus, int txChannel, int rxBus, int rxChannel)
    {
        LGCP::Message m = request(slot);
        LGCP::MapParams& p = m.get_pdu().set_command().set_create().set_map();
        if (txBus >= 0) {
            p.include_transmitter().set_bus(static_cast<unsigned>(txBus));
            p.get_transmitter().set_channel(static_cast<unsigned>(txChannel));
        }
        if (rxBus >= 0) {
            p.include_receiver().set_bus(static_cast<unsigned>(rxBus));
            p.get_receiver().set_channel(static_cast<unsigned>(rxChannel));
        }
        return m;
    }
    static std::string ok(int slot) { return "slot=" + std::to_string(slot) + " success"; }
    static std::string error(int slot, int cause)
    {
        return "slot=" + std::to_string(slot) + " error " + std::to_string(cause);
    }
    Slot* find(unsigned id) { return Slots::instance().Find(id); }
    // Requests to the switch since the last call, as "connect 39 <- 5",
    // "write 39 d5", "disable 8325".
    V switchRequests()
    {
        V out;
        for (const SimBoard::Request& r : sim.requests(SimBoard::Op::Ioctl, "/dev/hal")) {
            if (r.code == Hal::kConnect) {
                Hal::ConnectRecord c = Hal::ConnectRecord::decode(r.data.data());
                out.push_back("connect " + std::to_string(c.output) + " <- " + std::to_string(c.source));
            } else if (r.code == Hal::kWrite) {
                Hal::ByteRecord b = Hal::ByteRecord::decode(r.data.data());
                char text[32];
                std::snprintf(text, sizeof text, "write %d %x", static_cast<int>(b.channel),
                              static_cast<unsigned>(b.value));
                out.push_back(text);
            } else if (r.code == Hal::kDisable) {
                // The sweep's own disables are not the slots' doing.
                continue;
            }
        }
        sim.clearRequests();
        return out;
    }
};

} // namespace

TEST(SlotFactories, ChainIsAskedNewestFirstTrunksLast)
{
    Startup::buildSlotFactories();
    V names;
    for (SlotFactory* f = firstFactory; f != nullptr; f = f->GetNext()) {
        std::string name = f->GetName();
        if (auto* t = dynamic_cast<TrunkFactory*>(f))
            name += " " + std::to_string(t->GetTrunkNumber()) + "@" + std::to_string(t->GetFirstChannel());
        names.push_back(name);
    }
    EXPECT_EQ(names, (V{"HDLC", "RtpED137", "RtpLEMZ", "ISDN", "T38Soft", "Voice", "Echo", "MCC", "Ext", "Mixer",
                        "Modem", "RTP", "PSTN", "Map", "TrunksBRI 7@28", "TrunksBRI 6@24", "TrunksBRI 5@20",
                        "TrunksBRI 4@16", "TrunksBRI 3@12", "TrunksBRI 2@8", "TrunksBRI 1@4", "TrunksBRI 0@0",
                        "Trunks 3@96", "Trunks 2@64", "Trunks 1@32", "Trunks 0@0"}));
}

TEST_F(TrunkSlots, ConnectTwoTrunkChannelsThroughTheSwitch)
{
    EXPECT_EQ(send(trunk(1, 0, 5)), V{ok(1)});
    EXPECT_EQ(send(trunk(2, 1, 7)), V{ok(2)});
    switchRequests();

    EXPECT_EQ(send(connect(1, 2)), (V{"slot=1 transmitter active 5", "slot=2 receiver active 39", ok(1)}));
    std::vector<SimBoard::Request> connects;
    for (const SimBoard::Request& r : sim.requests(SimBoard::Op::Ioctl, "/dev/hal"))
        if (r.code == 0x80084D02u)
            connects.push_back(r);
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_EQ(connects[0].data, (std::vector<unsigned char>{0, 0, 0, 39, 0, 0, 0, 5}));
    EXPECT_EQ(switchRequests(), V{"connect 39 <- 5"});
    EXPECT_EQ(sim.hal().output(39).source, 5);
    EXPECT_EQ(send(connect(1, 2)), V{ok(1)});
    EXPECT_EQ(switchRequests(), V{});

    EXPECT_EQ(send(simple(2, LGCP::Command::disconnect_chosen)), V{ok(2)});
    EXPECT_EQ(switchRequests(), V{"write 39 d5"});
    EXPECT_EQ(send(simple(2, LGCP::Command::destroy_chosen)), V{ok(2)});
    EXPECT_EQ(send(simple(2, LGCP::Command::destroy_chosen)), V{error(2, 3)});
    EXPECT_NE(clog_.str().find("mux: slot 01:trunk [5] -> 02:trunk [39]\nmux: disconnect slot 02:trunk [39]\n"),
              std::string::npos);
}

TEST_F(TrunkSlots, TimeSlotsAreTakenOverAndOutOfRangeIsRefused)
{
    ASSERT_EQ(send(trunk(1, 3, 31)), V{ok(1)});
    EXPECT_EQ(find(1)->IGetTransmitChannel(), 127);
    // Same time slot under another id: the old slot goes.
    EXPECT_EQ(send(trunk(2, 3, 31)), V{ok(2)});
    EXPECT_EQ(find(1), nullptr);
    EXPECT_EQ(e1TrunkFactories[3].GetSlots().size(), 1u);
    // Over an existing id.
    EXPECT_EQ(send(trunk(2, 0, 0)), V{ok(2)});
    EXPECT_EQ(find(2)->GetTrunk(), 0);
    EXPECT_TRUE(e1TrunkFactories[3].GetSlots().empty());

    EXPECT_EQ(send(trunk(3, 7, 3, true)), V{ok(3)});
    EXPECT_EQ(find(3)->IGetReceiveChannel(), 31);
    EXPECT_EQ(find(3)->GetTrunkTimeSlot(), 3);
    EXPECT_EQ(send(trunk(4, 7, 4, true)), V{error(4, 1)});
    EXPECT_EQ(send(trunk(4, 4, 0)), V{error(4, 1)});
    EXPECT_EQ(find(4), nullptr);
}

TEST_F(TrunkSlots, MapSlotsDriveSharedBusOutputs)
{
    send(trunk(1, 0, 5));
    // Receives on bus 1 channel 5, transmits from bus 2 channel 0.
    EXPECT_EQ(send(map(10, 2, 0, 1, 5)), V{ok(10)});
    EXPECT_EQ(find(10)->IGetReceiveChannel(), 8192 + 128 + 5);
    EXPECT_EQ(find(10)->IGetTransmitChannel(), 8192 + 256);
    switchRequests();

    EXPECT_EQ(send(connect(1, 10)), (V{"slot=1 transmitter active 5", "slot=10 receiver active 8325", ok(1)}));
    EXPECT_EQ(send(connect(10, 1)), (V{"slot=10 transmitter active 8448", "slot=1 receiver active 5", ok(10)}));
    EXPECT_EQ(switchRequests(), (V{"connect 8325 <- 5", "connect 5 <- 8448"}));
    EXPECT_EQ(HwMux::instance().entryForTest(128 + 5), 5);

    // Destroyed, it gives its output back to the bus.
    EXPECT_EQ(send(simple(10, LGCP::Command::destroy_chosen)), V{ok(10)});
    EXPECT_EQ(sim.hal().output(8325).setting, SimHal::Setting::Disabled);
    EXPECT_EQ(HwMux::instance().entryForTest(128 + 5), HwMux::kDisabled);
    EXPECT_EQ(find(1)->GetSource(), nullptr);

    // A map without a receiver has no input; one with neither is refused.
    EXPECT_EQ(send(map(11, 2, 1, -1, 0)), V{ok(11)});
    EXPECT_EQ(send(connect(1, 11)), V{error(1, 9)});
    EXPECT_EQ(send(map(12, -1, 0, -1, 0)), V{error(12, 1)});

    // A second map on the same bus output replaces the first.
    EXPECT_EQ(send(map(13, -1, 0, 3, 9)), V{ok(13)});
    EXPECT_EQ(send(map(14, -1, 0, 3, 9)), V{ok(14)});
    EXPECT_EQ(find(13), nullptr);
}
