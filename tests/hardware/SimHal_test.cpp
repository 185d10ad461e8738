#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>

#include "hardware/SimBoard.h"
#include "hardware/SimHal.h"
#include "hardware/SpiRecords.h"

namespace {

class SimHalSpi : public testing::Test {
protected:
    void SetUp() override { fd_ = sim_.open("/dev/hal", O_RDWR); }
    void TearDown() override { sim_.close(fd_); }

    int access(std::uint32_t code, unsigned char channel, unsigned char address, unsigned char value)
    {
        Spi::RegisterRecord::Bytes rec = Spi::RegisterRecord{channel, address, value}.encode();
        return sim_.ioctl(fd_, code, rec.data(), rec.size());
    }

    SimBoard sim_;
    int fd_ = -1;
};

} // namespace

TEST_F(SimHalSpi, RegistersAreKeptPerChannelAndReadAsTheResult)
{
    EXPECT_EQ(access(Spi::kWriteRegister, 3, 87, 56), 0);
    EXPECT_EQ(sim_.hal().spiRegister(3, 87), 56);
    EXPECT_EQ(access(Spi::kReadRegister, 3, 87, 0xFF), 56);
    EXPECT_EQ(access(Spi::kReadRegister, 2, 87, 0xFF), 0);
    sim_.hal().setSpiRegister(7, SimHal::kLineStatus, 0xC5);
    EXPECT_EQ(access(Spi::kReadRegister, 7, 51, 0xFF), 0xC5);

    errno = 0;
    EXPECT_EQ(access(Spi::kWriteRegister, 8, 50, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    sim_.hal().setSpiPresent(false);
    EXPECT_EQ(access(Spi::kReadRegister, 3, 87, 0xFF), -1);
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(access(Spi::kWriteRegister, 3, 87, 48), -1);
    EXPECT_EQ(sim_.hal().spiRegister(3, 87), 56);
}

TEST_F(SimHalSpi, ClockSourceKeepsTheLastCode)
{
    EXPECT_EQ(sim_.hal().clockSource(), 4);
    Clock::SelectRecord::Bytes rec = Clock::SelectRecord{9}.encode();
    EXPECT_EQ(sim_.ioctl(fd_, Clock::kSelect, rec.data(), rec.size()), 0);
    EXPECT_EQ(sim_.hal().clockSource(), 9);
    rec = Clock::SelectRecord{-1}.encode();
    EXPECT_EQ(sim_.ioctl(fd_, Clock::kSelect, rec.data(), rec.size()), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(sim_.hal().clockSource(), 9);
    sim_.failIoctl("/dev/hal", Clock::kSelect, EIO);
    rec = Clock::SelectRecord{2}.encode();
    EXPECT_EQ(sim_.ioctl(fd_, Clock::kSelect, rec.data(), rec.size()), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(sim_.hal().clockSource(), 9);
}
