#include <cstdlib>

#include "ControlProbe.h"
#include "hardware/HalRecords.h"
#include "hardware/HwMux.h"
#include "hardware/HwTests.h"
#include "hardware/SimBoard.h"
#include "hardware/SimHal.h"

namespace {

LGCP::Command testBpc(unsigned bus, int seed, int mode, unsigned start, unsigned length)
{
    LGCP::Command command;
    LGCP::BpcTestParams& p = command.set_testBpc();
    p.set_bus(bus);
    p.set_seed(seed);
    LGCP::BpcTestMode m;
    if (mode == LGCP::BpcTestMode::read_chosen)
        m.set_read();
    else if (mode == LGCP::BpcTestMode::write_chosen)
        m.set_write();
    else
        m.set_disconnect();
    p.set_mode(m);
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
    static const char digits[] = "0123456789ABCDEF";
    return std::string{digits[byte >> 4], digits[byte & 15]};
}

class HwTestsTest : public probe::ServiceTest {
protected:
    HwTestsTest() : mux_(sim_), tests_(mux_), controller_(tests_)
    {
        sim_.clearRequests();
        takeClog();
    }

    std::vector<int> channels(std::uint32_t code)
    {
        std::vector<int> out;
        for (const SimBoard::Request& r : sim_.requests(SimBoard::Op::Ioctl, "/dev/hal"))
            if (r.code == code)
                out.push_back(Hal::DisableRecord::decode(r.data.data()).channel);
        return out;
    }

    SimBoard sim_;
    HwMux mux_;
    HwTests tests_;
    probe::ControlProbe controller_;
};

} // namespace

TEST_F(HwTestsTest, WriteThenReadWithTheSameSeedSucceeds)
{
    controller_.offer(testBpc(2, 1234, LGCP::BpcTestMode::write_chosen, 10, 3));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"success"});
    EXPECT_EQ(channels(Hal::kWrite), (std::vector<int>{8458, 8459, 8460}));
    EXPECT_EQ(channels(Hal::kRead), (std::vector<int>{8458, 8459, 8460}));
    std::vector<unsigned char> expected = pattern(1234, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sim_.hal().output(8458 + i).setting, SimHal::Setting::Constant);
        EXPECT_EQ(sim_.hal().output(8458 + i).byte, expected[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(sim_.hal().output(8461).setting, SimHal::Setting::Disabled);

    sim_.clearRequests();
    controller_.offer(testBpc(2, 1234, LGCP::BpcTestMode::read_chosen, 10, 3));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"success"});
    EXPECT_EQ(channels(Hal::kRead), (std::vector<int>{8458, 8459, 8460}));
    EXPECT_TRUE(channels(Hal::kWrite).empty());

    // Another seed reads a different pattern.
    controller_.offer(testBpc(2, 1235, LGCP::BpcTestMode::read_chosen, 10, 3));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"error 10"});
    EXPECT_EQ(takeCerr().substr(0, 31), "bus 2: test failed on channel 1");
    EXPECT_EQ(takeClog(), "");
}

TEST_F(HwTestsTest, ReadMismatchNamesTheFirstChannelAndBothBytes)
{
    std::vector<unsigned char> expected = pattern(77, 5);
    unsigned char wrong = static_cast<unsigned char>(expected[2] ^ 0x5A);
    for (int i = 0; i < 5; ++i)
        mux_.Write(8192 + 40 + i, expected[static_cast<std::size_t>(i)]);
    sim_.hal().setStuck(8192 + 42, wrong);
    sim_.hal().setStuck(8192 + 43, static_cast<unsigned char>(expected[3] ^ 1));
    sim_.clearRequests();

    controller_.offer(testBpc(0, 77, LGCP::BpcTestMode::read_chosen, 40, 5));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"error 10"});
    EXPECT_EQ(takeCerr(), "bus 0: test failed on channel 42 expected " + hex(expected[2]) + "  read " + hex(wrong) + " \n");
    EXPECT_EQ(channels(Hal::kRead), (std::vector<int>{8232, 8233, 8234}));   // stops at the first difference
}

TEST_F(HwTestsTest, WriteMismatchAcrossTheBusEndNamesTheChannelWithinItsBus)
{
    // Bus 3, time slots 120..129: the run ends in bus 4.
    const int first = 8192 + 3 * 128 + 120;
    std::vector<unsigned char> expected = pattern(-5, 10);
    unsigned char wrong = static_cast<unsigned char>(~expected[9]);
    sim_.hal().setStuck(first + 9, wrong);
    controller_.offer(testBpc(3, -5, LGCP::BpcTestMode::write_chosen, 120, 10));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"error 10"});
    EXPECT_EQ(takeCerr(), "bus 3: write failed on channel 1 write " + hex(expected[9]) + "  written " + hex(wrong) + " \n");
    EXPECT_EQ(channels(Hal::kWrite).size(), 10u);
    EXPECT_EQ(channels(Hal::kWrite).back(), 8192 + 4 * 128 + 1);

    // A failure early in the run: the whole run is still written first.
    sim_.clearRequests();
    sim_.hal().setStuck(first + 1, static_cast<unsigned char>(~expected[1]));
    controller_.offer(testBpc(3, -5, LGCP::BpcTestMode::write_chosen, 120, 10));
    EXPECT_EQ(channels(Hal::kWrite).size(), 10u);
    EXPECT_EQ(channels(Hal::kRead), (std::vector<int>{first, first + 1}));
    EXPECT_EQ(takeCerr().substr(0, 35), "bus 3: write failed on channel 121 ");
}

TEST_F(HwTestsTest, DisconnectAndEmptyRuns)
{
    mux_.Write(8192 + 15 * 128 + 5, 0x11);
    controller_.offer(testBpc(15, 0, LGCP::BpcTestMode::disconnect_chosen, 4, 3));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"success"});
    EXPECT_EQ(sim_.hal().output(8192 + 15 * 128 + 5).setting, SimHal::Setting::Disabled);
    EXPECT_EQ(mux_.entryForTest(15 * 128 + 5), HwMux::kDisabled);
    sim_.clearRequests();

    for (int mode : {LGCP::BpcTestMode::read_chosen, LGCP::BpcTestMode::write_chosen,
                     LGCP::BpcTestMode::disconnect_chosen}) {
        controller_.offer(testBpc(1, 9, mode, 50, 0));
        EXPECT_EQ(controller_.answers(), std::vector<std::string>{"success"});
    }
    EXPECT_TRUE(sim_.requests().empty());
}

TEST_F(HwTestsTest, RunsPastTheLastBusChannelAreRefused)
{
    controller_.offer(testBpc(15, 3, LGCP::BpcTestMode::write_chosen, 120, 9));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"error 0"});
    EXPECT_TRUE(sim_.requests().empty());
    // The last channel itself may be tested.
    controller_.offer(testBpc(15, 3, LGCP::BpcTestMode::write_chosen, 120, 8));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"success"});
    EXPECT_EQ(channels(Hal::kWrite).back(), 10239);

    LGCP::Command ping;
    ping.set_ping();
    controller_.offer(ping);
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"error 4"});
}
