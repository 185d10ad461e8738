#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "board/MccRecords.h"

using Bytes = std::vector<unsigned char>;

TEST(MccRecords, RequestCodesAreTheBoardsOwn)
{
    EXPECT_EQ(MCC_ALLOCATE, 0x40144D00u);
    EXPECT_EQ(MCC_TIMESLOT, 0x20004D02u);
}

TEST(MccRecords, AllocateRecordIsFiveBigEndianWords)
{
    Mcc::AllocateRecord r;
    r.mode = 3;
    Mcc::AllocateRecord::Bytes b = r.encode();
    EXPECT_EQ(Bytes(b.begin(), b.end()),
              (Bytes{0, 0, 0, 3, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 4}));

    const unsigned char golden[20] = {0xFF, 0xFF, 0xFF, 0xFE, 0x01, 0x02, 0x03, 0x04, 0x80, 0, 0, 0,
                                      0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    Mcc::AllocateRecord d = Mcc::AllocateRecord::decode(golden);
    EXPECT_EQ(d.mode, -2);
    EXPECT_EQ(d.words[0], 0x01020304);
    EXPECT_EQ(d.words[1], INT32_MIN);
    EXPECT_EQ(d.words[2], INT32_MAX);
    EXPECT_EQ(d.words[3], 0);
}

TEST(MccRecords, ModeCodesOfTheThreeModes)
{
    const std::int32_t expected[] = {3, 0, 1};
    for (std::int32_t mode = 0; mode < 3; ++mode) {
        std::int32_t code = -1;
        EXPECT_TRUE(Mcc::modeCode(mode, code));
        EXPECT_EQ(code, expected[mode]) << "mode " << mode;
    }
    std::int32_t code = 42;
    EXPECT_FALSE(Mcc::modeCode(3, code));
    EXPECT_FALSE(Mcc::modeCode(-1, code));
    EXPECT_EQ(code, 42);
}
