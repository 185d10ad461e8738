#include <fcntl.h>

#include <cerrno>
#include <tuple>

#include "ControlProbe.h"
#include "board/SpiRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimHal.h"
#include "hardware/spiCtrl.h"

using probe::Strings;

namespace {

using Access = std::tuple<std::uint32_t, int, int, int>;   // code, channel, address, value
using Accesses = std::vector<Access>;

Access wr(int channel, int address, int value)
{
    return Access{Spi::kWriteRegister, channel, address, value};
}

// init_channel(c) then enable_channel(c).
Accesses initAndEnable(int c)
{
    return {wr(c, 50, 128), wr(c, 48, 8), wr(c, 87, 48), wr(c, 52, 96), wr(c, 53, 0), wr(c, 54, 0), wr(c, 55, 0),
            wr(c, 50, 0)};
}

std::string status(int trunk, const char* state, int slips = 0)
{
    return "trunk " + std::to_string(trunk) + ' ' + state + " slips " + std::to_string(slips) +
           " bf 0 carrier 0 ais 0 rai 0 bri";
}

class SpiCtrlTest : public probe::ServiceTest {
protected:
    // The register requests since the last call.
    Accesses accesses()
    {
        Accesses out;
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

TEST_F(SpiCtrlTest, CreationPreparesChannelsZeroToSixAndDestructionReleasesAll)
{
    Accesses expected;
    std::string log = "spi: try init\n";
    {
        spiCtrl spi(sim_);
        const SimBoard::Request& open = sim_.requests().front();
        EXPECT_EQ(open.value, O_RDWR | O_CLOEXEC);
        EXPECT_EQ(fcntl(open.result, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
        for (int c = 0; c < 7; ++c) {
            for (Access a : initAndEnable(c))
                expected.push_back(a);
            log += "spi: init channel " + std::to_string(c) + "\nspi: enable channel " + std::to_string(c) + "\n";
        }
        EXPECT_EQ(accesses(), expected);
        EXPECT_EQ(takeClog(), log);
        spi.init_channel(7);   // channel 7 only on request
        spi.enable_channel(7);
        EXPECT_EQ(accesses(), initAndEnable(7));
        takeClog();
    }
    EXPECT_EQ(sim_.requests(SimBoard::Op::Close, "/dev/hal").size(), 1u);
    expected.clear();
    log.clear();
    for (int c = 0; c < 16; ++c)
        expected.push_back(c < 8 ? wr(c, 50, 128) : wr(c - 8, 87, 48));
    for (int c = 0; c < 8; ++c)
        log += "spi: disable channel " + std::to_string(c) + "\n";
    EXPECT_EQ(accesses(), expected);
    EXPECT_EQ(takeClog(), log + "spi: clock master disabled\n");
}

TEST_F(SpiCtrlTest, ChannelBoundsClockMasterAndAFailedOpen)
{
    sim_.failOpen("/dev/hal", ENOENT, 1);
    spiCtrl spi(sim_);
    EXPECT_EQ(takeClog(), "spi: try init\nspi: /dev/hal open fail\n");
    EXPECT_EQ(spi.read(0, 51), 0);

    spi.init_channel(8);
    spi.enable_channel(-1);
    spi.disable_channel(8);
    spi.clock(8);
    spi.clock(-2);
    EXPECT_EQ(takeClog(), "spi: bad channel for init 8\nspi: bad channel for enable -1\n"
                          "spi: bad channel for disable 8\nspi: bad channel for set clock master 8\n"
                          "spi: bad channel for set clock master -2\n");
    EXPECT_TRUE(accesses().empty());

    // The next good operation opens the device again.
    spi.clock(3);
    EXPECT_EQ(accesses().size(), 7 * 8 + 9u);
    EXPECT_EQ(takeClog().substr(0, 14), "spi: try init\n");
    EXPECT_EQ(sim_.hal().spiRegister(3, 87), 56);
    spi.clock(-1);
    Accesses slaves;
    for (int c = 0; c < 8; ++c)
        slaves.push_back(wr(c, 87, 48));
    EXPECT_EQ(accesses(), slaves);
    EXPECT_EQ(takeClog(), "spi: clock master disabled\n");
}

TEST_F(SpiCtrlTest, PollMapsTheLineStatusAndLatchesSlipsWhileConnected)
{
    spiCtrl spi(sim_);
    probe::ControlProbe controller(spi);
    setLines({0xC5, 0x85, 0x45, 0x01, 0x00, 0x05, 0xE5, 0xE5});
    advance(5000);
    EXPECT_TRUE(controller.signals().empty());   // none before a controller connects

    controller.connect();
    advance(999);
    EXPECT_TRUE(controller.signals().empty());
    accesses();
    advance(1);
    EXPECT_EQ(controller.signals(), (Strings{status(0, "normal"), status(1, "rai"), status(2, "ais"),
                                             status(3, "lossBF"), status(4, "lossCarrier"), status(5, "ais"),
                                             status(6, "normal", 1), status(7, "normal")}));
    Accesses reads;
    for (int c = 0; c < 8; ++c)
        reads.emplace_back(Spi::kReadRegister, c, 51, 0xFF);
    EXPECT_EQ(accesses(), reads);

    // One latch for all channels: still set at channel 0 of the next poll.
    setLines({0x21, 0x00, 0xE5, 0xE5});
    advance(1000);
    Strings second = controller.signals();
    ASSERT_EQ(second.size(), 8u);
    EXPECT_EQ(second[0], status(0, "lossBF"));
    EXPECT_EQ(second[2], status(2, "normal", 1));
    EXPECT_EQ(second[3], status(3, "normal"));

    controller.disconnect();
    accesses();
    advance(5000);
    EXPECT_TRUE(accesses().empty());
}

TEST_F(SpiCtrlTest, AccessFailuresAreLoggedAndTheLineReportsLossOfCarrier)
{
    spiCtrl spi(sim_);
    probe::ControlProbe controller(spi);
    controller.connect();
    setLines({0xC5, 0xC5});
    takeClog();
    sim_.failIoctl("/dev/hal", Spi::kWriteRegister, EIO);
    spi.disable_channel(4);
    sim_.failIoctl("/dev/hal", Spi::kReadRegister, EIO);
    advance(1000);
    EXPECT_EQ(takeClog(), "spi: write error: channel=4 addr=50 data=128\nspi: disable channel 4\n"
                          "spi: read error: channel=0 addr=51\n");
    Strings signals = controller.signals();
    ASSERT_EQ(signals.size(), 8u);
    EXPECT_EQ(signals[0], status(0, "lossCarrier"));
    EXPECT_EQ(signals[1], status(1, "normal"));
    EXPECT_TRUE(spi.isPollingForTest());
}

TEST_F(SpiCtrlTest, DeviceWithoutSpiStopsAllAccessWithOneMessage)
{
    spiCtrl spi(sim_);
    probe::ControlProbe controller(spi);
    controller.connect();
    accesses();
    takeClog();
    sim_.hal().setSpiPresent(false);
    advance(1000);
    EXPECT_EQ(takeClog(), "spi: hal without spi\n");
    EXPECT_EQ(accesses().size(), 1u);
    EXPECT_TRUE(controller.signals().empty());

    spi.clock(2);
    spi.init_channel(1);
    controller.connect();
    advance(5000);
    EXPECT_EQ(spi.read(0, 51), 0);
    EXPECT_TRUE(accesses().empty());
    EXPECT_EQ(takeClog(), "ctrl [probe]: controller connect.\n");

    SimBoard fresh;
    fresh.hal().setSpiPresent(false);
    {
        spiCtrl none(fresh);   // from the start: one access, one message, nothing at destruction
        EXPECT_EQ(takeClog(), "spi: try init\nspi: hal without spi\n");
    }
    EXPECT_EQ(fresh.requests(SimBoard::Op::Ioctl, "/dev/hal").size(), 1u);
    EXPECT_EQ(takeClog(), "");
}
