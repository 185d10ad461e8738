#include <gtest/gtest.h>

#include "board/BigEndian.h"
#include "board/HalRecords.h"

using Bytes8 = std::array<unsigned char, 8>;

// Golden bytes written from the record layouts: signed 32-bit words, most
// significant byte first.
TEST(HalRecords, ConnectIsOutputThenSource)
{
    Hal::ConnectRecord r{8192 + 130, 5};
    EXPECT_EQ(r.encode(), (Bytes8{0x00, 0x00, 0x20, 0x82, 0x00, 0x00, 0x00, 0x05}));
    const unsigned char in[] = {0x00, 0x00, 0x27, 0xFF, 0x00, 0x00, 0x1F, 0xFF};
    Hal::ConnectRecord d = Hal::ConnectRecord::decode(in);
    EXPECT_EQ(d.output, 10239);
    EXPECT_EQ(d.source, 8191);
}

TEST(HalRecords, DisableIsOneWord)
{
    EXPECT_EQ(Hal::DisableRecord{8200}.encode(), (std::array<unsigned char, 4>{0x00, 0x00, 0x20, 0x08}));
    EXPECT_EQ(Hal::DisableRecord{-1}.encode(), (std::array<unsigned char, 4>{0xFF, 0xFF, 0xFF, 0xFF}));
    const unsigned char in[] = {0x80, 0x00, 0x00, 0x00};
    EXPECT_EQ(Hal::DisableRecord::decode(in).channel, INT32_MIN);
}

TEST(HalRecords, WriteAndReadAreChannelThenByte)
{
    EXPECT_EQ((Hal::ByteRecord{8192 + 130, 0xD5}.encode()),
              (Bytes8{0x00, 0x00, 0x20, 0x82, 0x00, 0x00, 0x00, 0xD5}));
    EXPECT_EQ((Hal::ByteRecord{70, 255}.encode()), (Bytes8{0x00, 0x00, 0x00, 0x46, 0x00, 0x00, 0x00, 0xFF}));
    const unsigned char answer[] = {0x00, 0x00, 0x00, 0x46, 0x12, 0x34, 0x56, 0x9A};
    Hal::ByteRecord d = Hal::ByteRecord::decode(answer);
    EXPECT_EQ(d.channel, 70);
    EXPECT_EQ(d.value, 0x1234569A);
    EXPECT_EQ(d.value & 0xFF, 0x9A);
}
