#include <gtest/gtest.h>

#include "board/DspRecords.h"

namespace {

template <std::size_t N>
using Bytes = std::array<unsigned char, N>;

} // namespace

TEST(DspRecords, RequestCodesAreTheBoardsLiterals)
{
    EXPECT_EQ(Dsp::kConfigure, 0x40146401u);
    EXPECT_EQ(Dsp::kEnable, 0x400C6402u);
    EXPECT_EQ(Dsp::kDisable, 0x400C6403u);
    EXPECT_EQ(Dsp::kVadVersion, 0x40046404u);
}

// Golden bytes written from the record layouts, most significant byte first.
TEST(DspRecords, ConfigureRecordsByFunction)
{
    EXPECT_EQ(Dsp::ConfigureRecord::vadFixed(5).encode(),
              (Bytes<20>{0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 127, 0, 0, 0, 0}));
    EXPECT_EQ(Dsp::ConfigureRecord::vadV2(5, 300, 0x1F4, 0xE2).encode(),
              (Bytes<20>{0, 0, 0, 5, 0, 0, 0, 1, 0x01, 0x2C, 0x01, 0xF4, 0xE2, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Dsp::ConfigureRecord::sd(0x10203).encode(),
              (Bytes<20>{0, 1, 2, 3, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Dsp::ConfigureRecord::delays(5, 10, -1, 40).encode(),
              (Bytes<20>{0, 0, 0, 5, 0, 0, 0, 0x20, 0, 0, 0, 10, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 40}));
    EXPECT_EQ(Dsp::ConfigureRecord::rxGain(5, 0xFA).encode(),
              (Bytes<20>{0, 0, 0, 5, 0, 0, 0, 0x40, 0xFA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Dsp::ConfigureRecord::toneFilter(5, 2100, 1, 450, 0xEC).encode(),
              (Bytes<20>{0, 0, 0, 5, 0, 0, 1, 0, 0x08, 0x34, 0x01, 0, 0x01, 0xC2, 0xEC, 0, 0, 0, 0, 0}));

    const Bytes<20> in{0, 0, 0, 5, 0, 0, 1, 0, 0x08, 0x34, 0x01, 0, 0x01, 0xC2, 0xEC, 0, 0, 0, 0, 0};
    Dsp::ConfigureRecord d = Dsp::ConfigureRecord::decode(in.data());
    EXPECT_EQ(d.function, 256);
    EXPECT_EQ(d.u16At(8), 2100);
    EXPECT_EQ(d.u8At(10), 1);
    EXPECT_EQ(d.u16At(12), 450);
    EXPECT_EQ(d.u8At(14), 0xEC);
}

TEST(DspRecords, SwitchAndEventRecords)
{
    EXPECT_EQ((Dsp::SwitchRecord{7, 0xFFFFFFFFu, 12}.encode()),
              (Bytes<12>{0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 12}));
    const unsigned char in[] = {0, 0, 0, 7, 0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 5, 0xFF, 0xFF, 0xFF, 0xF9};
    Dsp::EventRecord e = Dsp::EventRecord::decode(in);
    EXPECT_EQ(e.ts, 7u);
    EXPECT_EQ(e.id, 9u);
    EXPECT_EQ(e.type, 1u);
    EXPECT_EQ(e.words[0], 2u);
    EXPECT_EQ(e.words[1], 5u);
    EXPECT_EQ(e.words[2], 0xFFFFFFF9u);
    Dsp::EventRecord::Bytes out = e.encode();
    EXPECT_TRUE(std::equal(out.begin(), out.end(), in));
}
