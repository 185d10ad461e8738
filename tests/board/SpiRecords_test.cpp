#include <gtest/gtest.h>

#include "board/SpiRecords.h"

// Golden bytes written from the record layouts.
TEST(SpiRecords, RegisterRequestsAreChannelAddressValue)
{
    EXPECT_EQ(Spi::kReadRegister, 0xC0034203u);
    EXPECT_EQ(Spi::kWriteRegister, 0xC0034204u);
    // Read of the line status of channel 7; write of "clock master" to channel 2.
    EXPECT_EQ((Spi::RegisterRecord{7, 51, 0xFF}.encode()), (Spi::RegisterRecord::Bytes{0x07, 0x33, 0xFF}));
    EXPECT_EQ((Spi::RegisterRecord{2, 87, 56}.encode()), (Spi::RegisterRecord::Bytes{0x02, 0x57, 0x38}));
    const unsigned char in[] = {0x05, 0x32, 0x80};
    Spi::RegisterRecord r = Spi::RegisterRecord::decode(in);
    EXPECT_EQ(r.channel, 5);
    EXPECT_EQ(r.address, 50);
    EXPECT_EQ(r.value, 128);
}

TEST(SpiRecords, ClockSelectIsOneSignedWord)
{
    EXPECT_EQ(Clock::kSelect, 0x80044301u);
    EXPECT_EQ(Clock::SelectRecord{4}.encode(), (Clock::SelectRecord::Bytes{0x00, 0x00, 0x00, 0x04}));
    EXPECT_EQ(Clock::SelectRecord{0x01020304}.encode(), (Clock::SelectRecord::Bytes{0x01, 0x02, 0x03, 0x04}));
    const unsigned char minus2[] = {0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(Clock::SelectRecord::decode(minus2).code, -2);
}
