#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "board/MccRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimMcc.h"
#include "tests/board/sim/SimFailure.h"

namespace {

using Bytes = std::vector<unsigned char>;

const char* const kDevice = "/dev/mcc/ctl";

int allocate(SimBoard& sim, int fd, std::int32_t mode)
{
    Mcc::AllocateRecord r;
    r.mode = mode;
    Mcc::AllocateRecord::Bytes b = r.encode();
    return sim.ioctl(fd, MCC_ALLOCATE, b.data(), b.size());
}

} // namespace

TEST(SimMcc, ChannelsAreAllocatedLowestFirstAndFreedOnClose)
{
    SimBoard sim;
    SimMcc& mcc = SimMcc::of(sim);
    int a = sim.open(kDevice, O_RDWR | O_NONBLOCK);
    int b = sim.open(kDevice, O_RDWR | O_NONBLOCK);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);

    // No channel yet: no time slot.
    errno = 0;
    EXPECT_TRUE(failsWith(sim.ioctlValue(a, MCC_TIMESLOT, 0), EINVAL));

    EXPECT_EQ(allocate(sim, a, 3), 0);
    EXPECT_EQ(allocate(sim, b, 1), 0);
    EXPECT_EQ(sim.ioctlValue(a, MCC_TIMESLOT, 0), SimMcc::kFirstTimeSlot);
    EXPECT_EQ(sim.ioctlValue(b, MCC_TIMESLOT, 0), SimMcc::kFirstTimeSlot + 1);
    // A second channel on the same open is refused.
    EXPECT_TRUE(failsWith(allocate(sim, a, 3), EBUSY));

    SimOpenFile* fa = sim.opens(kDevice).at(0);
    const SimMcc::Channel* ch = mcc.channel(*fa);
    ASSERT_NE(ch, nullptr);
    EXPECT_EQ(ch->number, 0);
    EXPECT_EQ(ch->settings.mode, 3);
    EXPECT_EQ(ch->settings.words, (std::array<std::int32_t, 4>{{512, 0, 1, 4}}));
    EXPECT_EQ(mcc.fileOfTimeSlot(SimMcc::kFirstTimeSlot), fa);
    EXPECT_EQ(mcc.allocatedCount(), 2u);

    // Closing every descriptor of an open frees its channel for the next open.
    int dup = ::dup(a);
    sim.close(a);
    EXPECT_EQ(mcc.allocatedCount(), 2u);
    ::close(dup);
    int c = sim.open(kDevice, O_RDWR);
    EXPECT_EQ(mcc.allocatedCount(), 1u);
    EXPECT_EQ(mcc.fileOfTimeSlot(SimMcc::kFirstTimeSlot), nullptr);
    EXPECT_EQ(allocate(sim, c, 0), 0);
    EXPECT_EQ(sim.ioctlValue(c, MCC_TIMESLOT, 0), SimMcc::kFirstTimeSlot);

    // Every channel taken: no more.
    std::vector<int> fds{b, c};
    for (int i = 2; i < SimMcc::kChannels; ++i) {
        fds.push_back(sim.open(kDevice, O_RDWR));
        ASSERT_EQ(allocate(sim, fds.back(), 3), 0);
    }
    fds.push_back(sim.open(kDevice, O_RDWR));
    EXPECT_TRUE(failsWith(allocate(sim, fds.back(), 3), EBUSY));
    // Other requests are not the driver's.
    EXPECT_TRUE(failsWith(sim.ioctlValue(c, IoctlCode::io('M', 3), 0), ENOTTY));
    for (int fd : fds)
        sim.close(fd);
}

TEST(SimMcc, FramesTravelOneMessageEachWay)
{
    SimBoard sim;
    SimMcc& mcc = SimMcc::of(sim);
    int fd = sim.open(kDevice, O_RDWR | O_NONBLOCK);
    SimOpenFile& file = *sim.opens(kDevice).at(0);

    // Nothing reaches an open without a channel.
    EXPECT_FALSE(mcc.injectFrame(file, {1, 2}));
    ASSERT_EQ(allocate(sim, fd, 3), 0);

    EXPECT_TRUE(mcc.injectFrame(file, {1, 2, 3}));
    EXPECT_TRUE(mcc.injectFrame(file, {4}));
    unsigned char buffer[16];
    EXPECT_EQ(sim.read(fd, buffer, sizeof buffer), 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{1, 2, 3}));
    EXPECT_EQ(sim.read(fd, buffer, sizeof buffer), 1);
    EXPECT_TRUE(failsWith(sim.read(fd, buffer, sizeof buffer), EAGAIN));

    const unsigned char a[] = {0xAA, 0xBB};
    const unsigned char b[] = {0xCC};
    EXPECT_EQ(sim.write(fd, a, sizeof a), 2);
    EXPECT_EQ(sim.write(fd, b, sizeof b), 1);
    EXPECT_EQ(mcc.takeFrame(file), (Bytes{0xAA, 0xBB}));
    EXPECT_EQ(mcc.takeFrame(file), (Bytes{0xCC}));
    EXPECT_TRUE(mcc.takeFrame(file).empty());
    sim.close(fd);
}
