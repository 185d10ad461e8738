#include "ControlLink.h"

using ctrltest::bytes;
using ctrltest::ControlLink;

namespace {

const std::string ping = bytes({0x80, 0x01, 0x01, 0x18});
const std::string pingSlot1024 = bytes({0xC0, 0x01, 0x02, 0x04, 0x00, 0x18});

} // namespace

TEST_F(ControlLink, SilenceAfterACommandDropsTheController)
{
    exchange(ping);
    advance(119999);
    EXPECT_TRUE(connected());
    advance(1);
    EXPECT_EQ(log.str(), "ctrl [" + client->name() + "]: controller connect.\nheartbeat: heartbeat timeout!!!\n");
    EXPECT_TRUE(looptest::runUntil([this] { return client->pump(); }));
    EXPECT_EQ(events, (std::vector<std::string>{"probe connect", "probe disconnect"}));
    EXPECT_FALSE(heartbeat.IsArmed());
}

TEST_F(ControlLink, EveryCommandReachingTheServicesRearms)
{
    probe.onCommand = [this](const LGCP::Command&) {
        probe.Success();
        return true;
    };
    exchange(ping);
    advance(100000);
    // query, taken by the probe, re-arms; slot 1024 does not.
    exchange(bytes({0x00, 0x00}));
    advance(100000);
    exchange(pingSlot1024);
    advance(19999);
    EXPECT_TRUE(connected());
    advance(1);
    EXPECT_TRUE(looptest::runUntil([this] { return client->pump(); }));
}

TEST_F(ControlLink, ConnectOnlyControllerIsNeverDropped)
{
    for (int i = 0; i < 10; ++i)
        advance(HeartBeatCtl::timeout_ms);
    exchange(pingSlot1024);
    advance(HeartBeatCtl::timeout_ms * 2);
    EXPECT_TRUE(connected());
    EXPECT_FALSE(client->pump());
}

TEST_F(ControlLink, DisconnectDisarms)
{
    exchange(ping);
    EXPECT_TRUE(heartbeat.IsArmed());
    client.reset();
    ASSERT_TRUE(looptest::runUntil([this] { return !connected() && events.back() == "probe disconnect"; }));
    EXPECT_FALSE(heartbeat.IsArmed());
    advance(HeartBeatCtl::timeout_ms);
    EXPECT_EQ(log.str().find("heartbeat timeout"), std::string::npos);
}
