#include <cstdlib>

#include "ControlProbe.h"
#include "board/HalRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimHal.h"
#include "hardware/HwMux.h"
#include "hardware/HwTests.h"

using probe::Strings;

namespace {

enum Mode { Read, Write, Disconnect };

LGCP::Command testBpc(unsigned bus, int seed, Mode mode, unsigned start, unsigned length)
{
    LGCP::Command command;
    LGCP::BpcTestParams& p = command.set_testBpc();
    p.set_bus(bus);
    p.set_seed(seed);
    if (mode == Read)
        p.get_mode().set_read();
    else if (mode == Write)
        p.get_mode().set_write();
    else
        p.get_mode().set_disconnect();
    p.set_timeslot_start(start);
    p.set_timeslot_length(length);
    return command;
}

// The test's own copy of the pattern.
std::vector<unsigned char> pattern(int seed, unsigned length)
{
    ::srandom(static_cast<unsigned>(seed));
    std::vector<unsigned char> bytes;
    for (unsigned i = 0; i < length; ++i)
        bytes.push_back(static_cast<unsigned char>(::random() & 0xFF));
    return bytes;
}

std::string hex(unsigned char byte)
{
    return {"0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 15], ' '};
}

class HwTestsTest : public probe::ServiceTest {
protected:
    HwTestsTest()
    {
        controller_.connect();
        sim_.clearRequests();
        takeClog();
    }

    // The channels of the switch requests with this code since the last clear.
    std::vector<int> channels(std::uint32_t code)
    {
        std::vector<int> out;
        for (const SimBoard::Request& r : sim_.requests(SimBoard::Op::Ioctl, "/dev/hal"))
            if (r.code == code)
                out.push_back(Hal::DisableRecord::decode(r.data.data()).channel);
        return out;
    }

    SimBoard sim_;
    HwMux mux_{sim_};
    HwTests tests_{mux_};
    probe::ControlProbe controller_{tests_};
};

} // namespace

TEST_F(HwTestsTest, WriteThenReadWithTheSameSeedSucceeds)
{
    controller_.offer(testBpc(2, 1234, Write, 10, 3));
    controller_.offer(testBpc(2, 1234, Read, 10, 3));
    EXPECT_EQ(controller_.answers(), Strings(2, "success"));
    EXPECT_EQ(channels(Hal::kWrite), (std::vector<int>{8458, 8459, 8460}));
    EXPECT_EQ(channels(Hal::kRead), (std::vector<int>{8458, 8459, 8460, 8458, 8459, 8460}));
    std::vector<unsigned char> expected = pattern(1234, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(sim_.hal().output(8458 + i).byte, expected[static_cast<std::size_t>(i)]);
    EXPECT_EQ(sim_.hal().output(8461).setting, SimHal::Setting::Disabled);
    EXPECT_EQ(takeCerr(), "");
}

TEST_F(HwTestsTest, FirstMismatchGivesBusErrorAndTheExactLine)
{
    std::vector<unsigned char> expected = pattern(77, 5);
    for (int i = 0; i < 5; ++i)
        mux_.Write(8192 + 40 + i, expected[static_cast<std::size_t>(i)]);
    unsigned char wrong = static_cast<unsigned char>(expected[2] ^ 0x5A);
    sim_.hal().setStuck(8192 + 42, wrong);
    sim_.hal().setStuck(8192 + 43, static_cast<unsigned char>(~expected[3]));
    sim_.clearRequests();
    controller_.offer(testBpc(0, 77, Read, 40, 5));
    EXPECT_EQ(controller_.answers(), Strings{"error 10"});
    EXPECT_EQ(takeCerr(),
              "bus 0: test failed on channel 42 expected " + hex(expected[2]) + " read " + hex(wrong) + "\n");
    EXPECT_EQ(channels(Hal::kRead), (std::vector<int>{8232, 8233, 8234}));
}

TEST_F(HwTestsTest, WriteMismatchPastTheBusEndNamesTheChannelWithinItsBus)
{
    // Bus 3, time slots 120..129: the run ends in bus 4; the whole run is
    // written before the check stops at its first difference.
    const int first = 8192 + 3 * 128 + 120;
    std::vector<unsigned char> expected = pattern(-5, 10);
    sim_.hal().setStuck(first + 9, static_cast<unsigned char>(~expected[9]));
    controller_.offer(testBpc(3, -5, Write, 120, 10));
    EXPECT_EQ(takeCerr(), "bus 3: write failed on channel 1 write " + hex(expected[9]) + " written " +
                              hex(static_cast<unsigned char>(~expected[9])) + "\n");
    sim_.clearRequests();
    sim_.hal().setStuck(first + 1, static_cast<unsigned char>(~expected[1]));
    controller_.offer(testBpc(3, -5, Write, 120, 10));
    EXPECT_EQ(channels(Hal::kWrite).size(), 10u);
    EXPECT_EQ(channels(Hal::kWrite).back(), 8192 + 4 * 128 + 1);
    EXPECT_EQ(channels(Hal::kRead), (std::vector<int>{first, first + 1}));
    EXPECT_EQ(takeCerr().substr(0, 35), "bus 3: write failed on channel 121 ");
    EXPECT_EQ(controller_.answers(), Strings(2, "error 10"));
}

TEST_F(HwTestsTest, DisconnectEmptyRunsAndRunsPastTheLastChannel)
{
    mux_.Write(8192 + 15 * 128 + 5, 0x11);
    controller_.offer(testBpc(15, 0, Disconnect, 4, 3));
    EXPECT_EQ(sim_.hal().output(8192 + 15 * 128 + 5).setting, SimHal::Setting::Disabled);
    EXPECT_EQ(mux_.entryForTest(15 * 128 + 5), HwMux::kDisabled);
    sim_.clearRequests();
    for (Mode mode : {Read, Write, Disconnect})
        controller_.offer(testBpc(1, 9, mode, 50, 0));
    controller_.offer(testBpc(15, 3, Write, 120, 9));   // channel 10240 does not exist: refused
    EXPECT_TRUE(sim_.requests().empty());
    controller_.offer(testBpc(15, 3, Write, 120, 8));
    EXPECT_EQ(channels(Hal::kWrite).back(), 10239);
    EXPECT_EQ(controller_.answers(), (Strings{"success", "success", "success", "success", "error 0", "success"}));

    LGCP::Command ping;
    ping.set_ping();
    controller_.offer(ping);
    EXPECT_EQ(controller_.answers(), Strings{"error 4"});
}
