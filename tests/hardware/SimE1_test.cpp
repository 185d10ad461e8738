#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "hardware/E1Records.h"
#include "hardware/SimBoard.h"
#include "hardware/SimCas.h"
#include "hardware/SimMaintenance.h"

TEST(SimMaintenance, StatusRecordsPerTrunkWithFailures)
{
    SimBoard sim;
    int fd = sim.open("/dev/maintenance", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    Maintenance::TrunkStatusRecord status;
    status.trunk = 99;          // the request's trunk word wins
    status.slips = 7;
    status.state = 3;
    sim.maintenance().setStatus(1, status);

    Maintenance::TrunkStatusRecord request;
    request.trunk = 1;
    Maintenance::TrunkStatusRecord::Bytes rec = request.encode();
    ASSERT_EQ(sim.ioctl(fd, Maintenance::kTrunkStatus, rec.data(), rec.size()), 0);
    Maintenance::TrunkStatusRecord got = Maintenance::TrunkStatusRecord::decode(rec.data());
    EXPECT_EQ(got.trunk, 1);
    EXPECT_EQ(got.slips, 7);
    EXPECT_EQ(got.state, 3);

    request.trunk = 4;
    rec = request.encode();
    EXPECT_EQ(sim.ioctl(fd, Maintenance::kTrunkStatus, rec.data(), rec.size()), -1);
    EXPECT_EQ(errno, EINVAL);
    sim.maintenance().failTrunk(0, EIO);
    request.trunk = 0;
    rec = request.encode();
    EXPECT_EQ(sim.ioctl(fd, Maintenance::kTrunkStatus, rec.data(), rec.size()), -1);
    EXPECT_EQ(errno, EIO);

    EXPECT_EQ(sim.ioctlValue(fd, Maintenance::kTclk, 0x5), 0);
    EXPECT_EQ(sim.ioctlValue(fd, Maintenance::kTclk, 0x1), 0);
    EXPECT_EQ(sim.maintenance().tclk(), 1u);
    EXPECT_EQ(sim.maintenance().tclkHistory(), (std::vector<std::uint32_t>{5, 1}));
    sim.close(fd);
}

TEST(SimCas, TrunksSlotsBitsAndLineChanges)
{
    SimBoard sim;
    int fd = sim.open("/dev/e1-cas", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    SimCas& cas = sim.cas();

    Cas::Channel::Bytes rec = Cas::Channel{2, 5, 0, 3}.encode();
    EXPECT_EQ(sim.ioctl(fd, Cas::kSetBits, rec.data(), rec.size()), -1);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_EQ(sim.ioctlValue(fd, Cas::kOpenTrunk, 4), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(sim.ioctlValue(fd, Cas::kOpenTrunk, 2), 0);
    EXPECT_TRUE(cas.trunkOpen(2));

    // A change on a slot not enabled is kept but not announced.
    EXPECT_FALSE(cas.changeRx(2, 5, 0x9));
    Cas::SlotRecord::Bytes slot = Cas::SlotRecord{{2, 5, 0, 0x13}, Cas::SlotRecord::kEnable}.encode();
    EXPECT_EQ(sim.ioctl(fd, Cas::kSlot, slot.data(), slot.size()), 0);
    EXPECT_TRUE(cas.slot(2, 5).enabled);
    EXPECT_EQ(cas.slot(2, 5).tx, 0x3);
    rec = Cas::Channel{2, 5, 0, 0x1A}.encode();
    EXPECT_EQ(sim.ioctl(fd, Cas::kSetBits, rec.data(), rec.size()), 0);
    rec = Cas::Channel{2, 5, 0, 0}.encode();
    EXPECT_EQ(sim.ioctl(fd, Cas::kGetBits, rec.data(), rec.size()), 0);
    EXPECT_EQ(rec, (Cas::Channel::Bytes{0, 0, 0, 2, 0, 0, 0, 5, 0x9, 0xA, 0, 0}));
    rec = Cas::Channel{2, 32, 0, 0}.encode();
    EXPECT_EQ(sim.ioctl(fd, Cas::kGetBits, rec.data(), rec.size()), -1);
    EXPECT_EQ(errno, EINVAL);

    EXPECT_TRUE(cas.changeRx(2, 5, 0x6));
    unsigned char event[16];
    EXPECT_EQ(sim.read(fd, event, sizeof event), 12);
    EXPECT_EQ(Cas::Channel::decode(event).rx, 0x6);
    EXPECT_EQ(Cas::Channel::decode(event).tx, 0xA);
    EXPECT_EQ(sim.read(fd, event, sizeof event), -1);
    EXPECT_EQ(errno, EAGAIN);

    slot = Cas::SlotRecord{{2, 5, 0, 0}, Cas::SlotRecord::kDisable}.encode();
    EXPECT_EQ(sim.ioctl(fd, Cas::kSlot, slot.data(), slot.size()), 0);
    EXPECT_FALSE(cas.slot(2, 5).enabled);
    EXPECT_EQ(sim.ioctlValue(fd, Cas::kCloseTrunk, 2), 0);
    EXPECT_FALSE(cas.trunkOpen(2));
    sim.close(fd);
    EXPECT_FALSE(cas.changeRx(2, 5, 0x1));
}
