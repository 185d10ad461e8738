#include <fcntl.h>

#include <cerrno>
#include <tuple>

#include "ControlProbe.h"
#include "hardware/SimBoard.h"
#include "hardware/SimHal.h"
#include "hardware/SpiRecords.h"
#include "hardware/spiCtrl.h"

namespace {

using Access = std::tuple<std::uint32_t, int, int, int>;   // code, channel, address, value

Access wr(int channel, int address, int value)
{
    return Access{Spi::kWriteRegister, channel, address, value};
}

// The register writes of init_channel(c) then enable_channel(c).
void initAndEnable(std::vector<Access>& out, int c)
{
    for (Access a : {wr(c, 50, 128), wr(c, 48, 8), wr(c, 87, 48), wr(c, 52, 96), wr(c, 53, 0), wr(c, 54, 0),
                     wr(c, 55, 0), wr(c, 50, 0)})
        out.push_back(a);
}

class SpiCtrlTest : public probe::ServiceTest {
protected:
    // The register requests logged since the last call.
    std::vector<Access> accesses()
    {
        std::vector<Access> out;
        for (const SimBoard::Request& r : sim_.requests(SimBoard::Op::Ioctl, "/dev/hal")) {
            Spi::RegisterRecord rec = Spi::RegisterRecord::decode(r.data.data());
            out.emplace_back(r.code, rec.channel, rec.address, rec.value);
        }
        sim_.clearRequests();
        return out;
    }
    void setLines(std::initializer_list<unsigned char> values)
    {
        int c = 0;
        for (unsigned char v : values)
            sim_.hal().setSpiRegister(c++, SimHal::kLineStatus, v);
    }

    SimBoard sim_;
};

} // namespace

TEST_F(SpiCtrlTest, CreationOpensTheDeviceAndPreparesChannelsZeroToSix)
{
    spiCtrl spi(sim_);
    const SimBoard::Request& open = sim_.requests().front();
    EXPECT_EQ(open.op, SimBoard::Op::Open);
    EXPECT_EQ(open.device, "/dev/hal");
    EXPECT_EQ(open.value, O_RDWR | O_CLOEXEC);
    EXPECT_EQ(fcntl(open.result, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_EQ(fcntl(open.result, F_GETFL) & O_NONBLOCK, 0);

    std::vector<Access> expected;
    std::string log = "spi: try init\n";
    for (int c = 0; c < 7; ++c) {
        initAndEnable(expected, c);
        log += "spi: init channel " + std::to_string(c) + "\nspi: enable channel " + std::to_string(c) + "\n";
    }
    EXPECT_EQ(accesses(), expected);
    EXPECT_EQ(takeClog(), log);
    EXPECT_EQ(sim_.hal().spiRegister(6, 52), 96);
    EXPECT_EQ(sim_.hal().spiRegister(7, 48), 0);

    // Channel 7 only on request.
    spi.init_channel(7);
    spi.enable_channel(7);
    expected.clear();
    initAndEnable(expected, 7);
    EXPECT_EQ(accesses(), expected);
    EXPECT_EQ(takeClog(), "spi: init channel 7\nspi: enable channel 7\n");
}

TEST_F(SpiCtrlTest, ChannelBoundsAndClockMaster)
{
    spiCtrl spi(sim_);
    accesses();
    takeClog();

    spi.init_channel(8);
    spi.enable_channel(-1);
    spi.disable_channel(8);
    spi.clock(8);
    spi.clock(-2);
    EXPECT_EQ(accesses(), std::vector<Access>());
    EXPECT_EQ(takeClog(),
              "spi: bad channel for init 8\nspi: bad channel for enable -1\nspi: bad channel for disable 8\n"
              "spi: bad channel for set clock master 8\nspi: bad channel for set clock master -2\n");

    std::vector<Access> slaves;
    for (int c = 0; c < 8; ++c)
        slaves.push_back(wr(c, 87, 48));
    spi.clock(3);
    std::vector<Access> expected = slaves;
    expected.push_back(wr(3, 87, 56));
    EXPECT_EQ(accesses(), expected);
    EXPECT_EQ(sim_.hal().spiRegister(3, 87), 56);
    spi.clock(-1);
    EXPECT_EQ(accesses(), slaves);
    EXPECT_EQ(sim_.hal().spiRegister(3, 87), 48);
    spi.disable_channel(2);
    EXPECT_EQ(accesses(), std::vector<Access>{wr(2, 50, 128)});
    EXPECT_EQ(takeClog(), "spi: set clock master on channel 3\nspi: clock master disabled\nspi: disable channel 2\n");
}

TEST_F(SpiCtrlTest, FailedOpenIsRetriedByTheNextChannelOperation)
{
    sim_.failOpen("/dev/hal", ENOENT, 1);
    spiCtrl spi(sim_);
    EXPECT_EQ(takeClog(), "spi: try init\nspi: /dev/hal open fail\n");
    spi.OnConnect();
    EXPECT_FALSE(spi.isPollingForTest());
    EXPECT_EQ(spi.read(0, 51), 0);

    spi.clock(1);
    std::string log = takeClog();
    EXPECT_EQ(log.substr(0, 14), "spi: try init\n");
    EXPECT_NE(log.find("spi: enable channel 6\nspi: set clock master on channel 1\n"), std::string::npos);
    EXPECT_EQ(sim_.hal().spiRegister(1, 87), 56);
}

TEST_F(SpiCtrlTest, PollMapsTheLineStatusWhileConnected)
{
    spiCtrl spi(sim_);
    probe::ControlProbe controller(spi);
    takeClog();
    setLines({0xC5, 0x85, 0x45, 0x01, 0x00, 0x05, 0xE5, 0xE5});
    advance(5000);
    EXPECT_TRUE(controller.signals().empty());   // nothing before a controller connects

    controller.connect();
    advance(999);
    EXPECT_TRUE(controller.signals().empty());
    advance(1);
    EXPECT_EQ(controller.signals(),
              (std::vector<std::string>{
                  "trunk 0 normal slips 0 bf 0 carrier 0 ais 0 rai 0 bri",
                  "trunk 1 rai slips 0 bf 0 carrier 0 ais 0 rai 0 bri",
                  "trunk 2 ais slips 0 bf 0 carrier 0 ais 0 rai 0 bri",
                  "trunk 3 lossBF slips 0 bf 0 carrier 0 ais 0 rai 0 bri",
                  "trunk 4 lossCarrier slips 0 bf 0 carrier 0 ais 0 rai 0 bri",
                  "trunk 5 ais slips 0 bf 0 carrier 0 ais 0 rai 0 bri",
                  "trunk 6 normal slips 1 bf 0 carrier 0 ais 0 rai 0 bri",
                  "trunk 7 normal slips 0 bf 0 carrier 0 ais 0 rai 0 bri",
              }));
    std::vector<Access> reads;
    for (int c = 0; c < 8; ++c)
        reads.emplace_back(Spi::kReadRegister, c, 51, 0xFF);
    std::vector<Access> all = accesses();
    EXPECT_EQ(std::vector<Access>(all.end() - 8, all.end()), reads);

    // The one latch: set by channel 6, still set at channel 0 of the next poll,
    // cleared by channel 1, set again by channel 2.
    setLines({0x21, 0x00, 0xE5, 0xE5});
    advance(1000);
    std::vector<std::string> second = controller.signals();
    ASSERT_EQ(second.size(), 8u);
    EXPECT_EQ(second[0], "trunk 0 lossBF slips 0 bf 0 carrier 0 ais 0 rai 0 bri");
    EXPECT_EQ(second[2], "trunk 2 normal slips 1 bf 0 carrier 0 ais 0 rai 0 bri");
    EXPECT_EQ(second[3], "trunk 3 normal slips 0 bf 0 carrier 0 ais 0 rai 0 bri");

    controller.disconnect();
    accesses();
    advance(5000);
    EXPECT_TRUE(accesses().empty());
    EXPECT_EQ(takeClog(), "ctrl [probe]: controller connect.\n");
}

TEST_F(SpiCtrlTest, AccessFailuresAreLoggedAndTheLineReportsLossOfCarrier)
{
    spiCtrl spi(sim_);
    probe::ControlProbe controller(spi);
    takeClog();
    setLines({0xC5, 0xC5, 0xC5});
    sim_.failIoctl("/dev/hal", Spi::kWriteRegister, EIO);
    spi.disable_channel(4);
    EXPECT_EQ(takeClog(), "spi: write error: channel=4 addr=50 data=128\nspi: disable channel 4\n");

    controller.connect();
    takeClog();
    sim_.failIoctl("/dev/hal", Spi::kReadRegister, EIO);
    advance(1000);
    EXPECT_EQ(takeClog(), "spi: read error: channel=0 addr=51\n");
    std::vector<std::string> signals = controller.signals();
    ASSERT_EQ(signals.size(), 8u);
    EXPECT_EQ(signals[0], "trunk 0 lossCarrier slips 0 bf 0 carrier 0 ais 0 rai 0 bri");
    EXPECT_EQ(signals[1], "trunk 1 normal slips 0 bf 0 carrier 0 ais 0 rai 0 bri");
    EXPECT_TRUE(spi.isPollingForTest());
}

TEST_F(SpiCtrlTest, DeviceWithoutSpiStopsAllAccessWithOneMessage)
{
    spiCtrl spi(sim_);
    probe::ControlProbe controller(spi);
    takeClog();
    controller.connect();
    accesses();
    takeClog();
    sim_.hal().setSpiPresent(false);
    advance(1000);
    EXPECT_EQ(takeClog(), "spi: hal without spi\n");
    EXPECT_EQ(accesses().size(), 1u);
    EXPECT_TRUE(controller.signals().empty());
    EXPECT_FALSE(spi.isPollingForTest());

    spi.clock(2);
    spi.init_channel(1);
    controller.connect();
    advance(5000);
    EXPECT_EQ(spi.read(0, 51), 0);
    EXPECT_TRUE(accesses().empty());
    EXPECT_EQ(takeClog(), "ctrl [probe]: controller connect.\n");
    EXPECT_TRUE(controller.signals().empty());
}

TEST_F(SpiCtrlTest, DeviceWithoutSpiFromTheStart)
{
    sim_.hal().setSpiPresent(false);
    {
        spiCtrl spi(sim_);
        EXPECT_EQ(takeClog(), "spi: try init\nspi: hal without spi\n");
        EXPECT_EQ(accesses().size(), 1u);
    }
    // The destructor writes nothing either.
    EXPECT_TRUE(accesses().empty());
    EXPECT_EQ(takeClog(), "");
}

TEST_F(SpiCtrlTest, DestructionDisablesEveryChannelAndReleasesTheClock)
{
    {
        spiCtrl spi(sim_);
        spi.OnConnect();
        accesses();
        takeClog();
    }
    std::vector<Access> expected;
    for (int c = 0; c < 8; ++c)
        expected.push_back(wr(c, 50, 128));
    for (int c = 0; c < 8; ++c)
        expected.push_back(wr(c, 87, 48));
    EXPECT_EQ(sim_.requests(SimBoard::Op::Close, "/dev/hal").size(), 1u);
    EXPECT_EQ(accesses(), expected);
    EXPECT_TRUE(sim_.opens("/dev/hal").empty());
    EXPECT_EQ(multiplexer.timerCountForTest(), 0u);
    std::string log = takeClog();
    EXPECT_EQ(log.substr(log.size() - 50), "spi: disable channel 7\nspi: clock master disabled\n");
}
