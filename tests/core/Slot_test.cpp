#include "SlotTestSupport.h"

#include <sstream>

#include "board/RtpRecords.h"
#include "hardware/DSProcReceiver.h"

using namespace slottest;

namespace {

class SlotEvents : public SignalCapture {
protected:
    SlotEvents() { slot.SetId(5); }

    // The one signal sent since the last call, in value notation.
    std::string one()
    {
        std::vector<LGCP::Signal> got = signals();
        if (got.size() != 1)
            return std::to_string(got.size()) + " signals";
        return got[0].asValueNotation();
    }
    std::string tonec(std::int32_t code)
    {
        Hardware::TonecReceiver::Params p;
        p.code = code;
        p.timestamp = 77;
        slot.processTonecEvent(p);
        return one();
    }

    std::vector<std::string> log;
    TestSlot slot{log, 40, 41};
};

std::string put(unsigned id)
{
    std::vector<std::string> log;
    TestSlot slot(log, 0, 0);
    slot.SetId(id);
    std::ostringstream os;
    os << std::hex;
    slot.Put(os);
    return os.str();
}

} // namespace

TEST(SlotPut, IdFormsAndStreamStateAfterwards)
{
    EXPECT_EQ(put(7), "07:test");
    EXPECT_EQ(put(123), "123:test");
    EXPECT_EQ(put(1023), "1023:test");
    EXPECT_EQ(put(1024), "i1024:test");
    EXPECT_EQ(put(Slot::kNoId), "na:test");

    // A short id leaves the stream decimal, right-justified, with a blank fill.
    std::vector<std::string> log;
    TestSlot slot(log, 0, 0);
    slot.SetId(5);
    std::ostringstream os;
    os << std::hex << std::left;
    slot.Put(os);
    os << std::setw(3) << 10;
    EXPECT_EQ(os.str(), "05:test 10");
}

TEST_F(SlotEvents, ToneCodes)
{
    EXPECT_EQ(tonec(17), "tonec : {\n  timestamp 77,\n  event ced : NULL\n}");
    EXPECT_NE(tonec(18).find("event cng"), std::string::npos);
    EXPECT_NE(tonec(0x0500).find("event iva : code : 5"), std::string::npos);
    EXPECT_NE(tonec(0x1500).find("event iva : ringoff"), std::string::npos);
    EXPECT_NE(tonec(5).find("event dtmf : 5"), std::string::npos);
    EXPECT_NE(tonec(127).find("event dtmf : 127"), std::string::npos);
    EXPECT_EQ(errors(), "");
    EXPECT_EQ(tonec(0x1600), "0 signals");
    EXPECT_EQ(tonec(0x0080), "0 signals");
    EXPECT_EQ(tonec(-1), "0 signals");
    EXPECT_EQ(errors(), "bad DTMF code, ignored.\nbad DTMF code, ignored.\nbad DTMF code, ignored.\n");

    slot.processToneGenEvent();
    EXPECT_EQ(one(), "tonec : {\n  timestamp 0,\n  event dtmfDone : NULL\n}");
    dsproc_tone_event flt;
    flt.set_freq(-2100);
    flt.set_presence(0x10);
    slot.processToneFltEvent(&flt);
    EXPECT_NE(one().find("tone-presence : {\n    freq -2100,\n    presence TRUE"), std::string::npos);
}

TEST_F(SlotEvents, DspEvents)
{
    slot.processVADEvent(Hardware::DSProcVADEvent{-1, 0});
    EXPECT_EQ(one(), "vad : {\n  vad-tx FALSE\n}");
    slot.processVADEvent(Hardware::DSProcVADEvent{3, 0});
    EXPECT_EQ(one(), "vad : {\n  vad-rx TRUE,\n  vad-tx FALSE\n}");
    slot.processVADEvent(Hardware::DSProcVADEvent{-1, -1});
    EXPECT_EQ(one(), "0 signals");
    EXPECT_EQ(errors(), "bad VAD event, ignored.\n");

    slot.processSDEvent(Hardware::DSProcSDEvent{0});
    EXPECT_EQ(one(), "sd : {\n  sd-rx FALSE\n}");
    slot.processSDEvent(Hardware::DSProcSDEvent{-2});
    EXPECT_EQ(one(), "0 signals");
    EXPECT_EQ(errors(), "bad SD event, ignored.\n");

    dsproc_flags_event flags;
    flags.set_values(0x80000000u);
    flags.set_mask(0x80000000u);
    slot.processFlagsEvent(&flags);
    EXPECT_EQ(one(), "selcal : {\n  in-progress TRUE\n}");
    flags.set_values(0x20000000u);
    flags.set_mask(0xE0000000u);
    slot.processFlagsEvent(&flags);
    std::vector<LGCP::Signal> got = signals();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].asValueNotation(), "vad : {\n  vad-rx TRUE,\n  vad-tx FALSE\n}");
    EXPECT_EQ(got[1].asValueNotation(), "selcal : {\n  in-progress FALSE\n}");
    flags.set_mask(0x1FFFFFFFu);
    slot.processFlagsEvent(&flags);
    EXPECT_EQ(one(), "0 signals");

    dsproc_bss_event bss;
    bss.set_score(3.25f);
    slot.processBSSEvent(&bss);
    EXPECT_EQ(one(), "bss : {\n  score \"3.250000\"\n}");
    // 1e30 prints 37 characters: cut to 30.
    bss.set_score(1e30f);
    slot.processBSSEvent(&bss);
    EXPECT_EQ(one(), "bss : {\n  score \"100000001504746621987668885504\"\n}");

    rtp_event rtp;
    rtp.set_type(1);
    rtp.set_value(-4);
    rtp.set_timeout(300);
    slot.processRtpEvent(rtp);
    EXPECT_EQ(one(), "rtp : pd : {\n  value -4,\n  timeout 300\n}");
    rtp.set_type(2);
    slot.processRtpEvent(rtp);
    EXPECT_EQ(one(), "0 signals");
}

TEST_F(SlotEvents, StreamSignalsOnlyOnChange)
{
    slot.OnChangeInputStream(true);
    slot.OnChangeInputStream(true);
    EXPECT_EQ(one(), "receiver : active : 41");
    EXPECT_TRUE(slot.IsInputStream());
    slot.OnChangeOutputStream(true);
    EXPECT_EQ(one(), "transmitter : active : 40");
    slot.OnChangeInputStream(false);
    EXPECT_EQ(one(), "receiver : inactive : NULL");
    slot.OnChangeInputStream(false);
    EXPECT_EQ(one(), "0 signals");
}

TEST_F(SlotEvents, DestructionHelpers)
{
    // Not destroying: a release is ignored.
    slot.on_release();
    EXPECT_EQ(errors(), "");
    EXPECT_TRUE(slot.BeforeDestroy());
    EXPECT_EQ(errors(), "slot: internal error!!! BeforeDestroy() not connected to factory\n");
    slot.onBeforeDestroy = [](TestSlot&) { return false; };
    EXPECT_FALSE(slot.BeforeDestroy());
    EXPECT_EQ(errors(), "");
}
