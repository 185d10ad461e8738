#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>

#include "board/BoardDevice.h"
#include "board/HalRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimHal.h"
#include "hardware/HwMux.h"
#include "runtime/Multiplexer.h"
#include "tests/hardware/ToneDspSupport.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes word(std::int32_t v)
{
    unsigned char b[4];
    BigEndian::putI32(b, v);
    return Bytes(b, b + 4);
}

Bytes words(std::int32_t a, std::int32_t b)
{
    unsigned char r[8];
    BigEndian::putI32(r, a);
    BigEndian::putI32(r + 4, b);
    return Bytes(r, r + 8);
}

class HwMuxTest : public testing::Test {
protected:
    std::string takeLog() { return log_.take(); }

    // The channels of the disable requests logged since the last clear.
    std::vector<int> disabled()
    {
        std::vector<int> channels;
        for (const SimBoard::Request& r : sim_.requests(SimBoard::Op::Ioctl, "/dev/hal"))
            if (r.code == Hal::kDisable)
                channels.push_back(Hal::DisableRecord::decode(r.data.data()).channel);
        return channels;
    }

    SimBoard sim_;
    ToneDspTest::Capture log_{std::clog};
};

} // namespace

TEST_F(HwMuxTest, OpeningDisablesEveryBusOutputInOrder)
{
    HwMux mux(sim_);
    EXPECT_EQ(takeLog(), "hwMux: init\nhwMux: device opened\n");
    const auto& log = sim_.requests();
    ASSERT_EQ(log.size(), 1u + HwMux::kBusOutputs);
    EXPECT_EQ(log[0].op, SimBoard::Op::Open);
    EXPECT_EQ(log[0].device, "/dev/hal");
    EXPECT_EQ(log[0].value & O_ACCMODE, O_RDWR);
    EXPECT_EQ(fcntl(log[0].result, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    for (unsigned i = 0; i < HwMux::kBusOutputs; ++i) {
        ASSERT_EQ(log[1 + i].code, Hal::kDisable);
        ASSERT_EQ(log[1 + i].data, word(8192 + static_cast<int>(i)));
        ASSERT_EQ(mux.entryForTest(i), HwMux::kDisabled);
        ASSERT_EQ(sim_.hal().output(8192 + static_cast<int>(i)).setting, SimHal::Setting::Disabled);
    }
    EXPECT_EQ(sim_.hal().output(8191).setting, SimHal::Setting::Unset);
    EXPECT_EQ(mux.cursorForTest(), 0u);
    EXPECT_TRUE(mux.IsOpened());
}

TEST_F(HwMuxTest, OpeningIgnoresRefusedDisables)
{
    sim_.failIoctl("/dev/hal", Hal::kDisable, EIO, 3);
    HwMux mux(sim_);
    EXPECT_EQ(takeLog(), "hwMux: init\nhwMux: device opened\n");
    EXPECT_EQ(mux.entryForTest(0), HwMux::kDisabled);
    EXPECT_EQ(sim_.hal().output(8195).setting, SimHal::Setting::Disabled);
}

TEST_F(HwMuxTest, ConnectRecordsTheSourceOfBusOutputsOnly)
{
    HwMux mux(sim_);
    takeLog();
    sim_.clearRequests();

    EXPECT_TRUE(mux.Connect(5, 8192));
    ASSERT_EQ(sim_.requests().size(), 1u);
    EXPECT_EQ(sim_.requests()[0].code, Hal::kConnect);
    EXPECT_EQ(sim_.requests()[0].data, words(8192, 5));
    EXPECT_EQ(mux.entryForTest(0), 5u);
    EXPECT_EQ(sim_.hal().output(8192).source, 5);

    EXPECT_TRUE(mux.Connect(3, 70));
    EXPECT_EQ(sim_.requests()[1].data, words(70, 3));
    EXPECT_EQ(sim_.hal().output(70).setting, SimHal::Setting::Connected);
    for (unsigned i = 1; i < HwMux::kBusOutputs; ++i)
        ASSERT_EQ(mux.entryForTest(i), HwMux::kDisabled);

    EXPECT_FALSE(mux.Connect(-1, 8200));
    EXPECT_FALSE(mux.Connect(4, -1));
    EXPECT_EQ(sim_.requests().size(), 2u);
    EXPECT_EQ(takeLog(), "");

    sim_.failIoctl("/dev/hal", Hal::kConnect, EIO);
    EXPECT_FALSE(mux.Connect(9, 8193));
    EXPECT_EQ(takeLog(), "hwMux: connect 9 -> 8193 failed: Input/output error\n");
    EXPECT_EQ(mux.entryForTest(1), 9u);     // set before the request, kept after its failure
}

TEST_F(HwMuxTest, DisconnectDisableAndWrite)
{
    HwMux mux(sim_);
    takeLog();
    sim_.clearRequests();

    EXPECT_TRUE(mux.Disconnect(8192 + 130));
    EXPECT_EQ(sim_.requests().back().code, Hal::kWrite);
    EXPECT_EQ(sim_.requests().back().data, words(8322, 0xD5));
    EXPECT_EQ(mux.entryForTest(130), HwMux::kConstant);
    EXPECT_EQ(sim_.hal().sample(8322), 0xD5);

    EXPECT_TRUE(mux.Write(8300, 0x0A));
    EXPECT_EQ(sim_.requests().back().data, words(8300, 0x0A));
    EXPECT_EQ(mux.entryForTest(108), HwMux::kConstant);

    EXPECT_TRUE(mux.Disable(8322));
    EXPECT_EQ(sim_.requests().back().code, Hal::kDisable);
    EXPECT_EQ(sim_.requests().back().data, word(8322));
    EXPECT_EQ(mux.entryForTest(130), HwMux::kDisabled);

    EXPECT_TRUE(mux.Disconnect(12));    // device channel: no entry
    EXPECT_EQ(sim_.requests().back().data, words(12, 0xD5));

    std::size_t sent = sim_.requests().size();
    EXPECT_FALSE(mux.Disconnect(-1));
    EXPECT_FALSE(mux.Disable(-2));
    EXPECT_FALSE(mux.Write(-3, 1));
    EXPECT_EQ(sim_.requests().size(), sent);
    EXPECT_EQ(takeLog(), "");

    sim_.failIoctl("/dev/hal", 0, EPERM, 3);
    EXPECT_FALSE(mux.Disconnect(8200));
    EXPECT_FALSE(mux.Disable(8201));
    EXPECT_FALSE(mux.Write(8202, 0xAB));
    EXPECT_EQ(takeLog(),
              "hwMux: disconnect failed 8200 : Operation not permitted\n"
              "hwMux: disable failed 8201 : Operation not permitted\n"
              "hwMux: write failed 8202 <- 0xab : Operation not permitted\n");
    EXPECT_EQ(mux.entryForTest(8), HwMux::kConstant);
    EXPECT_EQ(mux.entryForTest(9), HwMux::kDisabled);
    EXPECT_EQ(mux.entryForTest(10), HwMux::kConstant);
}

TEST_F(HwMuxTest, ReadSamplesTheChannel)
{
    HwMux mux(sim_);
    takeLog();
    sim_.clearRequests();

    sim_.hal().setInput(70, 0x5A);
    EXPECT_EQ(mux.Read(70), 0x5A);
    EXPECT_EQ(sim_.requests().back().code, Hal::kRead);
    EXPECT_EQ(sim_.requests().back().data, words(70, 255));     // as sent
    mux.Write(8400, 0x00);
    EXPECT_EQ(mux.Read(8400), 0x00);

    EXPECT_EQ(mux.Read(-5), 255);
    EXPECT_EQ(sim_.requests().size(), 3u);

    sim_.failIoctl("/dev/hal", Hal::kRead, EIO);
    EXPECT_EQ(mux.Read(70), 255);
    EXPECT_EQ(takeLog(), "hwMux: read failed 70 -> 0xff : Input/output error\n");
}

// Channels above the shared bus go to the driver but never into the table.
TEST_F(HwMuxTest, ChannelsAboveTheBusAreNotTracked)
{
    HwMux mux(sim_);
    takeLog();
    sim_.clearRequests();
    EXPECT_FALSE(mux.Connect(1, 10240));     // the board refuses it
    EXPECT_TRUE(mux.Connect(10239, 8192));
    EXPECT_FALSE(mux.Write(10365, 7));
    EXPECT_FALSE(mux.Disable(65535 + 8192));
    EXPECT_EQ(sim_.requests().size(), 4u);
    EXPECT_EQ(mux.entryForTest(0), 10239u);
    for (unsigned i = 1; i < HwMux::kBusOutputs; ++i)
        ASSERT_EQ(mux.entryForTest(i), HwMux::kDisabled);
    takeLog();
    // A source beyond the markers still counts as "not disabled".
    mux.Connect(70000, 8193);
    EXPECT_EQ(mux.entryForTest(1), HwMux::kConstant);
}

TEST_F(HwMuxTest, SweepRedisablesFreeBusOutputsAndSkipsUsedOnes)
{
    HwMux mux(sim_);
    mux.Connect(5, 8192 + 3);
    mux.Write(8192 + 4, 0x11);
    mux.Disconnect(8192 + 2047);
    sim_.clearRequests();

    // One pass: the 128 outputs after the cursor, the used ones left alone.
    mux.OnDPC();
    std::vector<int> expected;
    for (int i = 1; i <= 128; ++i)
        if (i != 3 && i != 4)
            expected.push_back(8192 + i);
    EXPECT_EQ(disabled(), expected);
    EXPECT_EQ(mux.cursorForTest(), 128u);

    // Sixteen passes look at every output once, ending with output 0.
    for (int pass = 2; pass <= 16; ++pass)
        mux.OnDPC();
    std::vector<int> all = disabled();
    EXPECT_EQ(all.size(), 2048u - 3);
    EXPECT_EQ(all.back(), 8192);
    EXPECT_EQ(mux.cursorForTest(), 0u);
    EXPECT_EQ(sim_.requests().size(), all.size());
    EXPECT_EQ(sim_.hal().output(8192 + 3).setting, SimHal::Setting::Connected);
    EXPECT_EQ(sim_.hal().output(8192 + 4).setting, SimHal::Setting::Constant);

    // A disabled output is refreshed once every sixteen passes.
    mux.Disable(8192 + 3);
    sim_.clearRequests();
    for (int pass = 0; pass < 32; ++pass)
        mux.OnDPC();
    std::vector<int> refreshed = disabled();
    EXPECT_EQ(std::count(refreshed.begin(), refreshed.end(), 8192 + 3), 2);
    EXPECT_EQ(std::count(refreshed.begin(), refreshed.end(), 8192 + 4), 0);

    // Unrecorded, the disables still reach the driver.
    int other = sim_.open("/dev/hal", O_RDWR);
    Hal::ConnectRecord::Bytes behind = Hal::ConnectRecord{8192 + 1, 9}.encode();
    ASSERT_EQ(sim_.ioctl(other, Hal::kConnect, behind.data(), behind.size()), 0);
    sim_.keepRequests(false);
    sim_.clearRequests();
    for (int pass = 0; pass < 16; ++pass)
        mux.OnDPC();
    EXPECT_EQ(sim_.hal().output(8192 + 1).setting, SimHal::Setting::Disabled);
    EXPECT_TRUE(sim_.requests().empty());
    sim_.close(other);
}

// The sweep runs in the loop's deferred-call passes, from the first on.
TEST_F(HwMuxTest, SweepRunsInEveryDeferredCallPass)
{
    {
        HwMux mux(sim_);
        sim_.clearRequests();
        multiplexer.execute_dpc();
        EXPECT_EQ(disabled().size(), 128u);
        EXPECT_EQ(disabled().front(), 8193);
        multiplexer.execute_dpc();
        EXPECT_EQ(disabled().size(), 256u);
        EXPECT_EQ(disabled().back(), 8192 + 256);
    }
    // Destroyed: the device is closed and the sweep is gone from the loop.
    EXPECT_TRUE(sim_.opens("/dev/hal").empty());
    sim_.clearRequests();
    multiplexer.execute_dpc();
    EXPECT_TRUE(sim_.requests().empty());
}

TEST_F(HwMuxTest, MissingDeviceFailsEveryUseAndRetriesTheOpen)
{
    sim_.failOpen("/dev/hal", ENOENT);
    HwMux mux(sim_);
    const std::string missing = "hwMux: can't open device: No such file or directory\n";
    EXPECT_EQ(takeLog(), "hwMux: init\n" + missing);

    multiplexer.execute_dpc();
    mux.OnDPC();
    EXPECT_EQ(sim_.requests().size(), 1u);      // no sweep while closed

    EXPECT_FALSE(mux.Connect(5, 8192));
    EXPECT_EQ(takeLog(), missing + "hwMux: ERROR not opened\n");
    EXPECT_FALSE(mux.Disconnect(8192));
    EXPECT_FALSE(mux.Disable(8192));
    EXPECT_FALSE(mux.Write(8192, 1));
    EXPECT_EQ(mux.Read(8192), 255);
    EXPECT_EQ(takeLog(), missing + missing + missing + missing);
    EXPECT_FALSE(mux.Disable(-1));      // the open comes first
    EXPECT_EQ(takeLog(), missing);
    ASSERT_EQ(sim_.requests().size(), 7u);
    for (const SimBoard::Request& r : sim_.requests())
        EXPECT_EQ(r.op, SimBoard::Op::Open);

    // The device appears: the next use opens it and the sweep starts.
    sim_.clearFaults();
    sim_.clearRequests();
    EXPECT_TRUE(mux.Disable(8200));
    EXPECT_EQ(takeLog(), "hwMux: device opened\n");
    EXPECT_EQ(disabled().size(), 2048u + 1);
    EXPECT_EQ(disabled().back(), 8200);
    sim_.clearRequests();
    multiplexer.execute_dpc();
    EXPECT_EQ(disabled().size(), 128u);
}

TEST(PrintTrace, PrintsTheFrameCountThenTheFrames)
{
    testing::internal::CaptureStdout();
    print_trace();
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(out.rfind("Obtained ", 0), 0u) << out;
    std::size_t end = out.find(" stack frames.\n");
    ASSERT_NE(end, std::string::npos);
    int frames = std::stoi(out.substr(9, end - 9));
    EXPECT_GT(frames, 0);
    EXPECT_LE(frames, 10);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), frames + 1);
}

// The daemon's switch on the board the environment chooses.
TEST_F(HwMuxTest, InstanceOpensOnTheSimulatedBoard)
{
    setenv("STALVANE_BOARD", "sim", 1);
    BoardDevice::setForTest(nullptr);
    HwMux& mux = HwMux::instance();
    EXPECT_EQ(&HwMux::instance(), &mux);
    auto& board = dynamic_cast<SimBoard&>(BoardDevice::get());
    EXPECT_EQ(board.opens("/dev/hal").size(), 1u);
    EXPECT_TRUE(mux.Connect(1, 8192));
    EXPECT_EQ(board.hal().output(8192).source, 1);
    unsetenv("STALVANE_BOARD");
    BoardDevice::setForTest(nullptr);
}
