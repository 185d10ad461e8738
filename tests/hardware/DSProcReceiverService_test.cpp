#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "board/DspRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimDsp.h"
#include "control/TraceCtl.h"
#include "hardware/DSProcReceiver.h"
#include "hardware/DSProcReceiverService.h"
#include "tests/hardware/ToneDspSupport.h"

using Hardware::DSProcReceiver;
using Hardware::DSProcReceiverService;
using namespace ToneDspTest;

namespace {

const char* const kDevice = "/dev/dsp";

using Bytes = std::vector<unsigned char>;

class Receiver : public DSProcReceiver {
public:
    Receiver(DSProcReceiverService& service, int ts) : DSProcReceiver(service), ts_(ts) {}

    void dsproc_vad_event(const Hardware::DSProcVADEvent& event) override
    {
        got.push_back("vad " + std::to_string(event.rx) + " " + std::to_string(event.tx));
        if (onEvent)
            onEvent();
    }
    void dsproc_bss_event(const ::dsproc_bss_event* event) override
    {
        got.push_back("bss " + std::to_string(event->get_score()));
    }
    void dsproc_sd_event(const Hardware::DSProcSDEvent& event) override
    {
        got.push_back("sd " + std::to_string(event.sd_rx));
    }
    void dsproc_tone_flt_event(const ::dsproc_tone_event* event) override
    {
        got.push_back("tone " + std::to_string(event->get_freq()) + " " + std::to_string(event->get_presence()));
    }
    void dsproc_flags_event(const ::dsproc_flags_event* event) override
    {
        got.push_back("flags " + std::to_string(event->get_values()) + " " + std::to_string(event->get_mask()));
    }
    int dsproc_timeslot() const override { return ts_; }

    std::vector<std::string> got;
    std::function<void()> onEvent;

private:
    int ts_;
};

Bytes switchBytes(int ts, std::uint32_t id, std::uint32_t functions)
{
    return bytes(Dsp::SwitchRecord{ts, id, functions}.encode());
}

class DsprocTest : public testing::Test {
protected:
    DsprocTest() : service_(sim_)
    {
        traces = TraceCtl();
        err_.take();
        log_.take();
    }
    ~DsprocTest() override { traces = TraceCtl(); }

    SimDsp& dsp() { return SimDsp::of(sim_); }
    std::vector<SimBoard::Request> requests() const { return requestsOf(sim_, kDevice); }
    void send(std::uint32_t ts, std::uint32_t id, std::uint32_t type, std::uint32_t w0, std::uint32_t w1 = 0,
              std::uint32_t w2 = 0)
    {
        ASSERT_TRUE(dsp().sendEvent({ts, id, type, {w0, w1, w2}}));
    }

    Capture err_{std::cerr};
    Capture log_{std::clog};
    SimBoard sim_;
    DSProcReceiverService service_;
};

} // namespace

TEST_F(DsprocTest, OpenFailureIsRetriedByConfigureAndToneDisableOnly)
{
    EXPECT_EQ(sim_.requests(SimBoard::Op::Open, kDevice).at(0).value, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    EXPECT_TRUE(service_.isOpen());
    EXPECT_EQ(service_.eventForTest().getName(), "DSProcReceiverService::OnEvent");
    EXPECT_EQ(service_.eventForTest().getEvents(), POLLIN);

    sim_.failOpen(kDevice, ENOENT, 2);
    DSProcReceiverService closed(sim_);
    Receiver r(closed, 5);
    sim_.clearRequests();
    EXPECT_FALSE(r.enableVAD(true));
    EXPECT_TRUE(sim_.requests(SimBoard::Op::Open, kDevice).empty());
    r.disableToneAll();
    EXPECT_EQ(err_.take(), "open dsproc fail, VAD proceeding disabled: No such file or directory\n"
                           "DSPROC_ENABLE VAD fail: timeslot=5 id=1 errno=\"Bad file descriptor\"\n"
                           "open dsproc fail, VAD proceeding disabled: No such file or directory\n"
                           "Disable All Tone fail: (interface not opened) timeslot=5\n");
    EXPECT_EQ(r.vadState(), DSProcReceiver::kUnset);

    EXPECT_TRUE(r.configureSD());
    EXPECT_TRUE(closed.isOpen());
    EXPECT_EQ(log_.take(), "DSPROC_CONFIGURE SD ts=5\n");
    EXPECT_TRUE(dsp().channel(5).sdConfigured);
}

TEST_F(DsprocTest, FirstSwitchOffIsSentOnlyForUnsetFunctions)
{
    Receiver r(service_, 5);
    EXPECT_TRUE(r.enableNG(false));
    EXPECT_TRUE(r.disableBSS());
    EXPECT_TRUE(requests().empty());

    EXPECT_TRUE(r.enableVAD(false));
    EXPECT_TRUE(r.disableSD());
    EXPECT_TRUE(r.enableVAD(false));
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].code, 0x400C6403u);
    EXPECT_EQ(sent[0].data, switchBytes(5, 0, 1));
    EXPECT_EQ(sent[1].data, switchBytes(5, 0, 2));
    EXPECT_EQ(r.vadState(), 0);
    EXPECT_EQ(r.sdState(), 0);
    EXPECT_EQ(err_.take(), "DSPROC_DISABLE VAD done: timeslot=5\n"
                           "DSPROC_DISABLE SD done: timeslot=5\n");
}

TEST_F(DsprocTest, EnableFamilySharesOneIdCounter)
{
    Receiver r(service_, 0x102);
    EXPECT_TRUE(r.enableVAD(true));
    EXPECT_TRUE(r.enableVAD(true));
    EXPECT_TRUE(r.enableBSS(true));
    EXPECT_TRUE(r.enableNG(true));
    EXPECT_TRUE(r.enableSD(true));
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].code, 0x400C6402u);
    EXPECT_EQ(sent[0].data, (Bytes{0, 0, 1, 2, 0, 0, 0, 1, 0, 0, 0, 1}));
    EXPECT_EQ(sent[1].data, switchBytes(0x102, 2, 16));
    EXPECT_EQ(sent[2].data, switchBytes(0x102, 3, 128));
    EXPECT_EQ(sent[3].data, switchBytes(0x102, 4, 2));
    EXPECT_EQ(dsp().channel(0x102).on, 1u + 2u + 16u + 128u);
    EXPECT_EQ(err_.take(), "DSPROC_ENABLE VAD done: timeslot=258 id=1\n"
                           "DSPROC_ENABLE BSS done: timeslot=258 id=2\n"
                           "DSPROC_ENABLE NG done: timeslot=258 id=3\n"
                           "DSPROC_ENABLE SD done: timeslot=258 id=4\n");

    // A failure leaves the state but uses its id; the counter skips 0.
    sim_.failIoctl(kDevice, Dsp::kDisable, EIO);
    EXPECT_FALSE(r.disableNG());
    EXPECT_EQ(r.ngState(), 1);
    service_.setLastIdForTest(4294967294u);
    sim_.failIoctl(kDevice, Dsp::kEnable, EIO);
    Receiver s(service_, 7);
    EXPECT_FALSE(s.enableBSS(true));
    EXPECT_EQ(s.bssState(), 0);
    EXPECT_TRUE(s.enableBSS(true));
    EXPECT_EQ(s.bssId(), 1u);
    EXPECT_EQ(err_.take(), "DSPROC_DISABLE NG fail: timeslot=258 errno=\"Input/output error\"\n"
                           "DSPROC_ENABLE BSS fail: timeslot=7 id=4294967295 errno=\"Input/output error\"\n"
                           "DSPROC_ENABLE BSS done: timeslot=7 id=1\n");
}

TEST_F(DsprocTest, MutingIsSetAsAPair)
{
    Receiver r(service_, 9);
    EXPECT_TRUE(r.enableMute(true, false));
    EXPECT_TRUE(r.enableMute(true, false));
    EXPECT_TRUE(r.enableMute(true, true));
    EXPECT_TRUE(r.disableMute());
    EXPECT_TRUE(r.disableMute());
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].data, switchBytes(9, 1, 4));
    EXPECT_EQ(sent[1].data, switchBytes(9, 2, 12));
    EXPECT_EQ(sent[2].code, Dsp::kDisable);
    EXPECT_EQ(sent[2].data, switchBytes(9, 0, 12));
    EXPECT_EQ(r.rxMuteState(), 0);
    EXPECT_EQ(r.txMuteState(), 0);
    EXPECT_EQ(err_.take(), "DSPROC_ENABLE MUTE done: timeslot=9 id=1\n"
                           "DSPROC_ENABLE MUTE done: timeslot=9 id=2\n"
                           "DSPROC_DISABLE MUTE done: timeslot=9\n");

    // A fresh receiver sends its first switch-off; rx only after both.
    Receiver fresh(service_, 10);
    EXPECT_TRUE(fresh.disableMute());
    EXPECT_TRUE(fresh.enableMute(false, true));
    EXPECT_TRUE(r.enableMute(true, true));
    EXPECT_TRUE(r.enableMute(true, false));
    EXPECT_EQ(r.rxMuteState(), 1);
    EXPECT_EQ(r.txMuteState(), 0);
    EXPECT_EQ(dsp().channel(9).on, 4u);
    EXPECT_EQ(dsp().channel(10).on, 8u);
    err_.take();
    sim_.failIoctl(kDevice, Dsp::kEnable, EBUSY);
    EXPECT_FALSE(r.enableMute(false, true));
    EXPECT_EQ(r.rxMuteState(), 1);
    EXPECT_EQ(r.txMuteState(), 0);
    EXPECT_EQ(err_.take(), "DSPROC_ENABLE MUTE fail: timeslot=9 id=6 errno=\"Device or resource busy\"\n");
}

TEST_F(DsprocTest, VadConfigurationFollowsTheVersion)
{
    Receiver r(service_, 5);
    LGCP::VADParams v1;
    v1.set_v1();
    LGCP::VADParams v2;
    TERM::VADParamsV2& p = v2.set_v2();
    p.set_voice_th_msec(300);
    p.set_silence_th_msec(500);
    p.set_e_th_dB(-30);

    EXPECT_TRUE(r.configureVAD(v2));
    EXPECT_FALSE(r.configureVAD(v1));
    EXPECT_EQ(err_.take(), "DSPROC_CONFIGURE VAD: params not specified for v2:  timeslot=5\n");
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].op, SimBoard::Op::IoctlValue);
    EXPECT_EQ(sent[0].code, 0x40046404u);
    EXPECT_EQ(sent[0].value, 0);
    EXPECT_EQ(sent[1].code, 0x40146401u);
    EXPECT_EQ(sent[1].data, (Bytes{0, 0, 0, 5, 0, 0, 0, 1, 0x01, 0x2C, 0x01, 0xF4, 0xE2, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sent[2].code, Dsp::kVadVersion);

    const Bytes fixed{0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 127, 0, 0, 0, 0};
    dsp().setVadVersion(1);
    sim_.clearRequests();
    EXPECT_TRUE(r.configureVAD(v2));
    sim_.failIoctl(kDevice, Dsp::kVadVersion, ENOTTY);
    dsp().setVadVersion(2);
    EXPECT_TRUE(r.configureVAD(v1));
    sent = requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[1].data, fixed);
    EXPECT_EQ(sent[3].data, fixed);
    EXPECT_EQ(log_.take(), "DSPROC_CONFIGURE VAD ts=5\n"
                           "DSPROC_CONFIGURE VAD ts=5\n"
                           "DSPROC_CONFIGURE VAD ts=5\n");

    sim_.failIoctl(kDevice, Dsp::kConfigure, EIO);
    EXPECT_FALSE(r.configureVAD(v2));
    EXPECT_EQ(err_.take(), "DSPROC_CONFIGURE VAD fail: timeslot=5 errno=\"Input/output error\"\n");
}

TEST_F(DsprocTest, DelaysGainAndToneFilters)
{
    Receiver r(service_, 5);
    r.configureDelays(10, -1, 40);
    r.configureRxGain(static_cast<char>(-6));
    r.configureToneFilter(2100, 1, 450, 20);
    EXPECT_TRUE(r.delaysSet());
    EXPECT_TRUE(r.rxGainSet());
    EXPECT_EQ(log_.take(), "DSPROC_CONFIGURE DELAYS ts=5 rx=10 tx=-1 selcal=40\n"
                           "DSPROC_CONFIGURE RX GAIN ts=5 gain_dB=250\n"
                           "DSPROC_CONFIGURE TONE FILTER ts=5 freq=2100, en=1, dur_th_msec=450, det_lvl_dB=20\n");
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].data, (Bytes{0, 0, 0, 5, 0, 0, 0, 0x20, 0, 0, 0, 10, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 40}));
    EXPECT_EQ(sent[1].data, (Bytes{0, 0, 0, 5, 0, 0, 0, 0x40, 0xFA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sent[2].data, (Bytes{0, 0, 0, 5, 0, 0, 1, 0, 0x08, 0x34, 0x01, 0, 0x01, 0xC2, 0x14, 0, 0, 0, 0, 0}));
    EXPECT_EQ(dsp().channel(5).delaySelcal, 40);
    EXPECT_EQ(dsp().channel(5).rxGain, 0xFA);
    EXPECT_EQ(dsp().channel(5).toneFilters.at(2100).durationMs, 450);

    // The flags follow the values asked for, whatever the result.
    sim_.failIoctl(kDevice, Dsp::kConfigure, EIO, 3);
    r.configureDelays(0, 0, 0);
    r.configureRxGain(0);
    r.configureToneFilter(2100, 0, 0, 0);
    EXPECT_FALSE(r.delaysSet());
    EXPECT_FALSE(r.rxGainSet());
    EXPECT_EQ(err_.take(), "DSPROC_CONFIGURE DELAYS fail: timeslot=5 errno=\"Input/output error\"\n"
                           "DSPROC_CONFIGURE Rx Gain fail: timeslot=5 errno=\"Input/output error\"\n"
                           "DSPROC_CONFIGURE Tone Filter fail: timeslot=5 errno=\"Input/output error\"\n");
    r.configureDelays(0, 0, 1);
    EXPECT_TRUE(r.delaysSet());

    sim_.clearRequests();
    r.disableToneAll();
    EXPECT_EQ(requests().at(0).data, switchBytes(5, 0, 256));
    EXPECT_TRUE(dsp().channel(5).toneFilters.empty());
    EXPECT_EQ(log_.take(), "DSPROC_CONFIGURE DELAYS ts=5 rx=0 tx=0 selcal=1\n"
                           "DISABLE ALL TONE done:  ts=5\n");
}

TEST_F(DsprocTest, EventsByTypeWithTraces)
{
    traces.events = true;
    Receiver r(service_, 7);
    Receiver shadow(service_, 7);
    ASSERT_TRUE(r.enableVAD(true));    // id 1
    ASSERT_TRUE(r.enableBSS(true));    // id 2
    ASSERT_TRUE(shadow.enableSD(true));
    ASSERT_TRUE(r.configureSD());
    log_.take();
    err_.take();

    send(7, 1, 1, 2, 5, 7);
    send(7, 9, 1, 3, 1, 0);            // stale VAD id
    send(7, 5, 16, 0x3F400000u);        // 0.75, stale id: still delivered
    send(7, 0, 2, 1);                   // SD of the shadow's id: r's SD is unset, id 0 matches
    send(7, 0, 256, 2100, 0x01000000u);
    send(7, 0, 512, 0x1F, 0xF0);
    send(7, 0, 64, 0);                  // no such event type
    send(8, 0, 512, 1, 1);
    turn();
    EXPECT_EQ(r.got, (std::vector<std::string>{"vad -1 7", "bss 0.750000", "sd 1", "tone 2100 1", "flags 31 240"}));
    EXPECT_TRUE(shadow.got.empty());
    EXPECT_EQ(log_.take(),
              "dsproc event:  timeslot=7 id=1 type=1\n"
              "dsproc vad event:  dir_mask=2 vad_rx=5 vad_tx=7\n"
              "dsproc event:  timeslot=7 id=9 type=1\n"
              "dsproc vad event:  dir_mask=3 vad_rx=1 vad_tx=0\n"
              "ignore spurious dsproc vad event:  timeslot=7 id=9 type=1 rid=1\n"
              "dsproc event:  timeslot=7 id=5 type=16\n"
              "dsproc bss event:  score=0.75\n"
              "dsproc event:  timeslot=7 id=0 type=2\n"
              "dsproc sd event:  sd_rx=1\n"
              "dsproc event:  timeslot=7 id=0 type=256\n"
              "dsproc event:  timeslot=7 id=0 type=512\n"
              "dsproc flags event:  flags=1f, mask=f0\n"
              "dsproc event:  timeslot=7 id=0 type=64\n"
              "dsproc event:  timeslot=8 id=0 type=512\n"
              "dsproc flags event:  flags=1, mask=1\n");
    EXPECT_EQ(err_.take(), "receive dsproc event from unknown timeslot 8\n");

    // Switched off: VAD, SD and BSS events are dropped.
    ASSERT_TRUE(r.disableVAD());
    ASSERT_TRUE(r.disableBSS());
    ASSERT_TRUE(r.disableSD());
    log_.take();
    send(7, 1, 1, 1, 1, 0);
    send(7, 0, 2, 1);
    send(7, 2, 16, 0);
    turn();
    EXPECT_EQ(r.got.size(), 5u);
    EXPECT_EQ(log_.take(),
              "dsproc event:  timeslot=7 id=1 type=1\n"
              "dsproc vad event:  dir_mask=1 vad_rx=1 vad_tx=0\n"
              "ignore spurious dsproc vad event (dsproc disabled):  timeslot=7 id=1 type=1\n"
              "dsproc event:  timeslot=7 id=0 type=2\n"
              "dsproc sd event:  sd_rx=1\n"
              "dsproc event:  timeslot=7 id=2 type=16\n"
              "dsproc bss event:  score=0\n"
              "ignore spurious dsproc bss event (dsproc disabled):  timeslot=7 id=2 type=16\n");
}

TEST_F(DsprocTest, EventsWithoutTracesAreSilent)
{
    Receiver r(service_, 7);
    ASSERT_TRUE(r.enableVAD(true));
    ASSERT_TRUE(dsp().vad(7, 1, 1, 0));
    ASSERT_TRUE(dsp().vad(7, 3, 0, 1));
    send(7, 3, 1, 1, 1, 1);   // stale
    send(9, 1, 1, 1, 1, 1);   // unknown slot
    log_.take();
    err_.take();
    turn();
    EXPECT_EQ(r.got, (std::vector<std::string>{"vad 1 -1", "vad 0 1"}));
    EXPECT_EQ(log_.take(), "");
    EXPECT_EQ(err_.take(), "");
}

TEST_F(DsprocTest, ReadFailuresAndShortRecordsEndTheTurn)
{
    Receiver r(service_, 7);
    ASSERT_TRUE(r.enableVAD(true));
    err_.take();
    sim_.failRead(kDevice, EIO);
    ASSERT_TRUE(dsp().vad(7, 1, 1, 0));
    turn();
    EXPECT_EQ(err_.take(), "fail to read from dsproc: Input/output error\n");
    EXPECT_TRUE(r.got.empty());
    turn();
    EXPECT_EQ(r.got.size(), 1u);

    ASSERT_TRUE(dsp().sendBytes(Bytes(23, 0)));
    ASSERT_TRUE(dsp().vad(7, 2, 0, 1));
    turn();
    EXPECT_EQ(err_.take(), "fail to read from dsproc: short event of 23 bytes\n");
    EXPECT_EQ(r.got.size(), 1u);
    turn();
    EXPECT_EQ(r.got.back(), "vad -1 1");
}

TEST_F(DsprocTest, ReceiverDeletedByItsEvent)
{
    traces.events = true;
    auto r = std::make_unique<Receiver>(service_, 7);
    ASSERT_TRUE(r->enableVAD(true));
    r->onEvent = [&r] { r.reset(); };
    ASSERT_TRUE(dsp().vad(7, 1, 1, 0));
    ASSERT_TRUE(dsp().vad(7, 1, 0, 0));
    err_.take();
    turn();
    EXPECT_FALSE(r);
    EXPECT_EQ(err_.take(), "receive dsproc event from unknown timeslot 7\n");
}

TEST_F(DsprocTest, CleanBeforeDestroy)
{
    Receiver r(service_, 11);
    ASSERT_TRUE(r.enableVAD(true));
    ASSERT_TRUE(r.enableNG(true));
    ASSERT_TRUE(r.enableSD(true));
    ASSERT_TRUE(r.enableMute(true, true));
    r.configureDelays(0, 0, 40);
    r.configureToneFilter(1000, 1, 100, 10);
    sim_.clearRequests();
    log_.take();
    r.CleanBeforeDestroy();
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].data, switchBytes(11, 0, 1));
    EXPECT_EQ(sent[1].data, switchBytes(11, 0, 128));
    EXPECT_EQ(sent[2].data, bytes(Dsp::ConfigureRecord::delays(11, 0, 0, 0).encode()));
    EXPECT_EQ(sent[3].data, switchBytes(11, 0, 256));
    EXPECT_FALSE(r.delaysSet());
    EXPECT_EQ(dsp().channel(11).on, 2u + 4u + 8u);
    EXPECT_EQ(log_.take(), "DSPROC_CONFIGURE DELAYS ts=11 rx=0 tx=0 selcal=0\n"
                           "DISABLE ALL TONE done:  ts=11\n");

    // A receiver that did nothing still disables the tone filters.
    Receiver idle(service_, 12);
    sim_.clearRequests();
    idle.CleanBeforeDestroy();
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].data, switchBytes(12, 0, 256));
}
