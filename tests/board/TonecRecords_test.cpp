#include <gtest/gtest.h>

#include <map>

#include "board/Dtmf.h"
#include "board/TonecRecords.h"

namespace {

template <std::size_t N>
using Bytes = std::array<unsigned char, N>;

} // namespace

TEST(TonecRecords, RequestCodesAreTheBoardsLiterals)
{
    EXPECT_EQ(Tonec::kConfigureDetector, 0x40144202u);
    EXPECT_EQ(Tonec::kEnableDetector, 0x40084203u);
    EXPECT_EQ(Tonec::kDisableDetector, 0x40044204u);
    EXPECT_EQ(Tonec::kDial, 0x400C4205u);
    EXPECT_EQ(Tonec::kLmsOn, 0x40044206u);
    EXPECT_EQ(Tonec::kLmsOff, 0x40044207u);
    EXPECT_EQ(Tonec::kRejectionEnable, 0x40044209u);
    EXPECT_EQ(Tonec::kRejectionDisable, 0x4004420Au);
    EXPECT_EQ(Tonec::kIvaEnable, 0x4004420Bu);
    EXPECT_EQ(Tonec::kIvaDisable, 0x4004420Cu);
    EXPECT_EQ(Tonec::kIvaConfigure, 0x4008420Du);
    EXPECT_EQ(Tonec::kSelcalDial, 0x400C420Eu);
}

// Golden bytes written from the record layouts, most significant byte first.
TEST(TonecRecords, ConfigureIsSlotTwistRatioSilenceNoise)
{
    Tonec::ConfigureRecord r{0x105, 8, 0x1234, 65535, -2};
    EXPECT_EQ(r.encode(), (Bytes<20>{0x00, 0x00, 0x01, 0x05, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x12, 0x34,
                                     0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}));
    Bytes<20> in = r.encode();
    Tonec::ConfigureRecord d = Tonec::ConfigureRecord::decode(in.data());
    EXPECT_EQ(d.ts, 0x105);
    EXPECT_EQ(d.silence, 65535);
    EXPECT_EQ(d.noise, -2);
}

TEST(TonecRecords, EnableDialIvaAndSelcal)
{
    EXPECT_EQ((Tonec::EnableRecord{7, 4294967295u}.encode()),
              (Bytes<8>{0x00, 0x00, 0x00, 0x07, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ((Tonec::DialRecord{3, 697, 1209, 16384, 0x8001}.encode()),
              (Bytes<12>{0x00, 0x00, 0x00, 0x03, 0x02, 0xB9, 0x04, 0xB9, 0x40, 0x00, 0x80, 0x01}));
    EXPECT_EQ((Tonec::IvaConfigureRecord{2, -30}.encode()),
              (Bytes<8>{0x00, 0x00, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xE2}));

    Tonec::SelcalRecord s;
    s.ts = 9;
    s.amp = 12000;
    s.signs = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(s.encode(), (Bytes<12>{0x00, 0x00, 0x00, 0x09, 0x2E, 0xE0, 'A', 'B', 'C', 'D', 0x00, 0x00}));
    const unsigned char in[] = {0x00, 0x00, 0x00, 0x09, 0x2E, 0xE0, 'P', 'Q', 'R', 'S', 0x00, 0x00};
    Tonec::SelcalRecord d = Tonec::SelcalRecord::decode(in);
    EXPECT_EQ(d.amp, 12000);
    EXPECT_EQ(d.signs[3], 'S');
}

TEST(TonecRecords, EventIsCodeSlotTimestampId)
{
    const unsigned char in[] = {0x00, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x21,
                                0x80, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFE};
    Tonec::EventRecord e = Tonec::EventRecord::decode(in);
    EXPECT_EQ(e.code, 11);
    EXPECT_EQ(e.ts, 33);
    EXPECT_EQ(e.timestamp, INT32_MIN + 1);
    EXPECT_EQ(e.id, 4294967294u);
    Tonec::EventRecord::Bytes out = e.encode();
    EXPECT_TRUE(std::equal(out.begin(), out.end(), in));
}

TEST(Dtmf, DigitsByFrequencyPair)
{
    const std::map<Dtmf::FrequencyPair, char>& t = Dtmf::tonesValidator;
    ASSERT_EQ(t.size(), 16u);
    EXPECT_EQ(t.at({697, 1209}), '1');
    EXPECT_EQ(t.at({697, 1633}), 'A');
    EXPECT_EQ(t.at({852, 1477}), '9');
    EXPECT_EQ(t.at({941, 1209}), '*');
    EXPECT_EQ(t.at({941, 1336}), '0');
    EXPECT_EQ(t.at({941, 1477}), '#');
    EXPECT_EQ(t.at({941, 1633}), 'D');
    EXPECT_EQ(t.count({1209, 697}), 0u);
}
