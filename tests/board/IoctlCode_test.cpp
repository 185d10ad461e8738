#include <gtest/gtest.h>

#include "board/HalRecords.h"
#include "board/IoctlCode.h"

using namespace IoctlCode;

// Built at compile time: the helper must be usable in constant expressions.
static_assert(iow('M', 2, 8) == 0x80084D02u, "connect");
static_assert(io('M', 2) == 0x20004D02u, "no-argument request");

// Every request code the board's drivers are known by, as written for the
// board's processor.
TEST(IoctlCode, MatchesTheBoardsLiteralCodes)
{
    struct Case {
        std::uint32_t built;
        std::uint32_t literal;
    };
    const Case cases[] = {
        // "/dev/hal": switch, clock select, SPI registers
        {iow('M', 2, 8), 0x80084D02}, {iow('M', 3, 4), 0x80044D03},
        {iowr('M', 4, 8), 0xC0084D04}, {iowr('M', 5, 8), 0xC0084D05},
        {iow('C', 1, 4), 0x80044301},
        {iowr('B', 3, 3), 0xC0034203}, {iowr('B', 4, 3), 0xC0034204},
        // "/dev/mcc/ctl"
        {ior('M', 0, 20), 0x40144D00}, {io('M', 2), 0x20004D02},
        // "/dev/maintenance"
        {iowr('M', 3, 80), 0xC0504D03}, {iowr('M', 11, 4), 0xC0044D0B},
        // "/dev/e1-cas"
        {iow('C', 0, 4), 0x80044300}, {iow('C', 1, 4), 0x80044301},
        {iowr('C', 2, 12), 0xC00C4302}, {iowr('C', 3, 12), 0xC00C4303},
        {iowr('C', 4, 16), 0xC0104304},
        // "/dev/dtmf"
        {ior('B', 2, 20), 0x40144202}, {ior('B', 3, 8), 0x40084203},
        {ior('B', 4, 4), 0x40044204}, {ior('B', 5, 12), 0x400C4205},
        {ior('B', 6, 4), 0x40044206}, {ior('B', 7, 4), 0x40044207},
        {ior('B', 9, 4), 0x40044209}, {ior('B', 10, 4), 0x4004420A},
        {ior('B', 11, 4), 0x4004420B}, {ior('B', 12, 4), 0x4004420C},
        {ior('B', 13, 8), 0x4008420D}, {ior('B', 14, 12), 0x400C420E},
        // "/dev/dsp"
        {ior('d', 1, 20), 0x40146401}, {ior('d', 2, 12), 0x400C6402},
        {ior('d', 3, 12), 0x400C6403}, {ior('d', 4, 4), 0x40046404},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.built, c.literal) << std::hex << "literal 0x" << c.literal;

    EXPECT_EQ(Hal::kConnect, 0x80084D02u);
    EXPECT_EQ(Hal::kDisable, 0x80044D03u);
    EXPECT_EQ(Hal::kWrite, 0xC0084D04u);
    EXPECT_EQ(Hal::kRead, 0xC0084D05u);
}

TEST(IoctlCode, FieldsComeBackOutAtTheirEdges)
{
    std::uint32_t code = iowr('d', 0xFF, kMaxSize);
    EXPECT_EQ(code, 0xDFFF64FFu);
    EXPECT_EQ(direction(code), 6u);
    EXPECT_EQ(size(code), 0x1FFFu);
    EXPECT_EQ(type(code), unsigned('d'));
    EXPECT_EQ(number(code), 0xFFu);
    EXPECT_EQ(direction(io('B', 0)), 1u);
    EXPECT_EQ(size(ior('B', 2, 20)), 20u);
    // A type letter above 127 must not sign-extend into the size bits.
    EXPECT_EQ(iow(static_cast<char>(0xC5), 1, 4), 0x8004C501u);
}

TEST(IoctlCodeDeathTest, RefusesSizeThatDoesNotFit)
{
    volatile unsigned big = kMaxSize + 1;
    EXPECT_DEATH(iow('M', 1, big), "ioctl request does not fit: number 1 size 8192");
}
