#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "board/TonecRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimDtmf.h"
#include "hardware/TonecReceiver.h"
#include "hardware/TonecReceiverService.h"
#include "tests/hardware/ToneDspSupport.h"

using Hardware::TonecReceiver;
using Hardware::TonecReceiverService;
using namespace ToneDspTest;

namespace {

const char* const kDevice = "/dev/dtmf";

class Receiver : public TonecReceiver {
public:
    Receiver(TonecReceiverService& service, int ts) : TonecReceiver(service), ts_(ts) {}

    void tonec_event(const Params& params) override
    {
        events.push_back(params);
        if (onEvent)
            onEvent();
    }
    int tonec_timeslot() const override { return ts_; }
    void tone_gen_complete() override
    {
        ++completions;
        if (onComplete)
            onComplete();
    }

    std::vector<Params> events;
    int completions = 0;
    std::function<void()> onEvent;
    std::function<void()> onComplete;

private:
    int ts_;
};

LGCP::DualTone tone(int f1, int f2)
{
    LGCP::DualTone t;
    t.set_freq1(f1);
    t.set_freq2(f2);
    return t;
}

LGCP::TranslateDtmfParams digits(std::initializer_list<LGCP::DualTone> tones)
{
    LGCP::TranslateDtmfParams p;
    for (const LGCP::DualTone& t : tones)
        p.get_digits().push_back(t);
    return p;
}

using Dials = std::vector<std::vector<unsigned char>>;

std::vector<unsigned char> dial(int ts, int f1, int f2, int a1, int a2)
{
    Tonec::DialRecord r{ts, static_cast<std::uint16_t>(f1), static_cast<std::uint16_t>(f2),
                        static_cast<std::uint16_t>(a1), static_cast<std::uint16_t>(a2)};
    return bytes(r.encode());
}

class TonecTest : public testing::Test {
protected:
    TonecTest() : service_(sim_)
    {
        err_.take();
        log_.take();
    }

    SimDtmf& dtmf() { return SimDtmf::of(sim_); }
    std::vector<SimBoard::Request> requests() const { return requestsOf(sim_, kDevice); }
    // The DTMF_DIAL records sent since the log was last cleared.
    Dials dials() const
    {
        Dials result;
        for (const SimBoard::Request& r : requests())
            if (r.code == Tonec::kDial)
                result.push_back(r.data);
        return result;
    }
    void send(int code, int ts, int timestamp, std::uint32_t id)
    {
        ASSERT_TRUE(dtmf().sendEvent({code, ts, timestamp, id}));
    }

    Capture err_{std::cerr};
    Capture log_{std::clog};
    FixedClock clock_;
    SimBoard sim_;
    TonecReceiverService service_;
};

} // namespace

TEST_F(TonecTest, OpensForReadingAndWatchesForInput)
{
    std::vector<SimBoard::Request> opens = sim_.requests(SimBoard::Op::Open, kDevice);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].value, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_TRUE(service_.isOpen());
    EXPECT_EQ(service_.eventForTest().getName(), "TonecReceiverService::OnEvent");
    EXPECT_EQ(service_.eventForTest().getEvents(), POLLIN);
    EXPECT_TRUE(service_.init());
    EXPECT_EQ(sim_.requests(SimBoard::Op::Open, kDevice).size(), 1u);
}

TEST_F(TonecTest, FailedOpenIsRetriedOnlyByTheConfigureOperations)
{
    sim_.failOpen(kDevice, ENOENT, 1);
    TonecReceiverService closed(sim_);
    EXPECT_EQ(err_.take(), "open tonec fail, DTMF proceeding disabled: No such file or directory\n");
    EXPECT_FALSE(closed.isOpen());
    Receiver r(closed, 5);
    sim_.clearRequests();

    EXPECT_FALSE(r.enableDTMF(true));
    EXPECT_FALSE(r.echoCancel(true));
    EXPECT_FALSE(r.enableToneGenerator(1, 2, 3, 4));
    EXPECT_EQ(err_.take(), "DTMF_ENABLE_DETECTOR fail: timeslot=5 id=1 errno=\"Bad file descriptor\"\n"
                           "CHANNEL_LMS_ON fail: timeslot=5 errno=\"Bad file descriptor\"\n"
                           "DTMF_DIAL fail: timeslot=5 errno=\"Bad file descriptor\"\n");
    EXPECT_TRUE(sim_.requests(SimBoard::Op::Open, kDevice).empty());
    EXPECT_FALSE(r.isDetectorOn());

    sim_.failOpen(kDevice, EBUSY, 1);
    LGCP::IVAParams iva;
    iva.set_det_lvl_dB(-30);
    EXPECT_FALSE(r.configureIVA(iva));
    EXPECT_EQ(err_.take(), "open tonec fail, DTMF proceeding disabled: Device or resource busy\n"
                           "configure IVA fail: (interface not opened) timeslot=5\n");
    EXPECT_TRUE(r.configureIVA(iva));
    EXPECT_TRUE(closed.isOpen());
    EXPECT_EQ(dtmf().channel(5).ivaLevel, -30);
    EXPECT_EQ(log_.take(), "IVA_CONFIGURE_DETECTOR ts=5 det_lvl_dB=-30\n");
}

TEST_F(TonecTest, DetectorEnableAndDisable)
{
    Receiver r(service_, 5);
    EXPECT_TRUE(r.enableDTMF(true));
    EXPECT_TRUE(r.enableDTMF(true));
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, 0x40084203u);
    EXPECT_EQ(sent[0].data, (std::vector<unsigned char>{0, 0, 0, 5, 0, 0, 0, 1}));
    EXPECT_EQ(err_.take(), "DTMF_ENABLE_DETECTOR done: timeslot=5 id=1\n");
    EXPECT_TRUE(r.isDetectorOn());
    EXPECT_TRUE(r.isDtmfEnabled());
    EXPECT_TRUE(dtmf().channel(5).dtmfOn);

    sim_.clearRequests();
    EXPECT_TRUE(r.disableDTMF());
    EXPECT_TRUE(r.disableDTMF());
    sent = requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].op, SimBoard::Op::IoctlValue);
    EXPECT_EQ(sent[0].code, 0x40044204u);
    EXPECT_EQ(sent[0].value, 5);
    EXPECT_EQ(err_.take(), "DTMF_DISABLE_DETECTOR done: timeslot=5\n");
    EXPECT_FALSE(r.isDetectorOn());
    EXPECT_FALSE(r.isDtmfEnabled());
    EXPECT_FALSE(dtmf().channel(5).dtmfOn);
}

TEST_F(TonecTest, DetectorIdsAdvanceOnFailureAndWrapToOne)
{
    Receiver a(service_, 1);
    Receiver b(service_, 2);
    sim_.failIoctl(kDevice, Tonec::kEnableDetector, EIO);
    EXPECT_FALSE(a.enableDTMF(true));
    EXPECT_EQ(err_.take(), "DTMF_ENABLE_DETECTOR fail: timeslot=1 id=1 errno=\"Input/output error\"\n");
    EXPECT_FALSE(a.isDetectorOn());
    EXPECT_FALSE(a.isDtmfEnabled());
    EXPECT_EQ(a.detectorId(), 0u);
    EXPECT_EQ(service_.lastIdForTest(), 1u);

    service_.setLastIdForTest(4294967294u);
    EXPECT_TRUE(a.enableDTMF(true));
    EXPECT_EQ(a.detectorId(), 4294967295u);
    EXPECT_TRUE(b.enableDTMF(true));
    EXPECT_EQ(b.detectorId(), 1u);
    EXPECT_EQ(dtmf().channel(2).dtmfId, 1u);
    EXPECT_EQ(err_.take(), "DTMF_ENABLE_DETECTOR done: timeslot=1 id=4294967295\n"
                           "DTMF_ENABLE_DETECTOR done: timeslot=2 id=1\n");
}

TEST_F(TonecTest, IvaSharesTheDetectorFlag)
{
    Receiver r(service_, 6);
    EXPECT_TRUE(r.enableIVA(true));
    EXPECT_EQ(log_.take(), "IVA_DETECTOR_ENABLE[6] ok\n");
    EXPECT_TRUE(r.isDetectorOn());
    EXPECT_TRUE(r.isIvaEnabled());
    // DTMF finds the detector on: nothing is sent.
    sim_.clearRequests();
    EXPECT_TRUE(r.enableDTMF(true));
    EXPECT_TRUE(requests().empty());
    EXPECT_TRUE(r.isDtmfEnabled());

    // Events with the receiver's last DTMF id (none yet: 0) are delivered.
    ASSERT_TRUE(dtmf().detect(6, 0x0300, 77));
    turn();
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.events[0].code, 0x0300);
    EXPECT_EQ(r.events[0].timestamp, 77);

    // Switching IVA off clears the flag; the DTMF disable is still sent.
    EXPECT_TRUE(r.enableIVA(false));
    EXPECT_EQ(log_.take(), "dtmf event:  timestamp=77 timeslot=6 code=768 id=0\n"
                           "IVA_DETECTOR_DISABLE[6] ok\n");
    EXPECT_FALSE(r.isDetectorOn());
    sim_.clearRequests();
    EXPECT_TRUE(r.disableDTMF());
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].code, Tonec::kDisableDetector);
    EXPECT_EQ(err_.take(), "DTMF_DISABLE_DETECTOR done: timeslot=6\n");

    sim_.failIoctl(kDevice, Tonec::kIvaEnable, EINVAL);
    EXPECT_FALSE(r.enableIVA(true));
    EXPECT_FALSE(r.isIvaEnabled());
    EXPECT_FALSE(r.isDetectorOn());
    EXPECT_EQ(err_.take(), "IVA_DETECTOR_ENABLE fail: timeslot=6 errno=\"Invalid argument\"\n");
}

TEST_F(TonecTest, EchoCancelRejectionAndConfiguration)
{
    Receiver r(service_, 300);
    EXPECT_TRUE(r.echoCancel(true));
    EXPECT_TRUE(r.echoCancel(false));
    EXPECT_TRUE(r.enableDTMFReject(true));
    EXPECT_TRUE(r.isDtmfRejectEnabled());
    EXPECT_EQ(log_.take(), "CHANNEL_LMS_ON[300] ok\n"
                           "CHANNEL_LMS_OFF[300] ok\n"
                           "DTMF_REJECTION_ENABLE[300] ok\n");
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].code, 0x40044206u);
    EXPECT_EQ(sent[1].code, 0x40044207u);
    EXPECT_EQ(sent[2].code, 0x40044209u);
    EXPECT_EQ(sent[2].value, 300);
    EXPECT_TRUE(dtmf().channel(300).rejection);

    sim_.failIoctl(kDevice, Tonec::kRejectionDisable, EIO);
    EXPECT_FALSE(r.enableDTMFReject(false));
    EXPECT_TRUE(r.isDtmfRejectEnabled());
    EXPECT_EQ(err_.take(), "DTMF_REJECTION_DISABLE fail: timeslot=300 errno=\"Input/output error\"\n");

    LGCP::DTMFParams params;
    params.get_threshold().set_twist(8);
    params.get_threshold().set_ratio(0x1234);
    params.get_threshold().set_noise(65535);
    params.get_level().set_silence(20);
    sim_.clearRequests();
    EXPECT_TRUE(r.configureDTMF(params));
    EXPECT_EQ(log_.take(), "DTMF_CONFIGURE_DETECTOR ts=300 twist=8 ratio=4660 noise=65535 silence=20\n");
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].code, 0x40144202u);
    EXPECT_EQ(requests()[0].data, (std::vector<unsigned char>{0, 0, 0x01, 0x2C, 0, 0, 0, 8, 0, 0, 0x12, 0x34, 0, 0,
                                                              0, 20, 0, 0, 0xFF, 0xFF}));
    sim_.failIoctl(kDevice, Tonec::kConfigureDetector, EIO);
    EXPECT_FALSE(r.configureDTMF(params));
    EXPECT_EQ(err_.take(), "DTMF_CONFIGURE_DETECTOR fail: timeslot=300 errno=\"Input/output error\"\n");
}

TEST_F(TonecTest, SelcalNeedsFourSigns)
{
    Receiver r(service_, 4);
    TERM::SelcalCommand cmd;
    cmd.set_signs("ABC");
    EXPECT_EQ(r.translateSelcal(cmd), -1);
    EXPECT_EQ(err_.take(), "SELCAL_DIAL fail: timeslot=4 incorect signs:ABC\n");
    EXPECT_TRUE(requests().empty());

    cmd.set_signs("ABCDE");
    EXPECT_EQ(r.translateSelcal(cmd), 0);
    cmd.include_amp() = 500;
    cmd.set_signs("PQRS");
    EXPECT_EQ(r.translateSelcal(cmd), 0);
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].code, 0x400C420Eu);
    EXPECT_EQ(sent[0].data, (std::vector<unsigned char>{0, 0, 0, 4, 0x2E, 0xE0, 'A', 'B', 'C', 'D', 0, 0}));
    EXPECT_EQ(sent[1].data, (std::vector<unsigned char>{0, 0, 0, 4, 0x01, 0xF4, 'P', 'Q', 'R', 'S', 0, 0}));

    sim_.failIoctl(kDevice, Tonec::kSelcalDial, EIO);
    EXPECT_EQ(r.translateSelcal(cmd), -1);
    EXPECT_EQ(err_.take(), "SELCAL_DIAL fail: timeslot=4 errno=\"Input/output error\"\n");
}

TEST_F(TonecTest, EventsGoToTheFirstReceiverOfTheirSlot)
{
    Receiver first(service_, 9);
    Receiver second(service_, 9);
    Receiver other(service_, 10);
    ASSERT_TRUE(first.enableDTMF(true));    // id 1
    ASSERT_TRUE(second.enableDTMF(true));   // id 2
    err_.take();

    send(3, 9, 100, 1);
    send(4, 9, 101, 2);     // second's id: stale for the first
    send(5, 10, 102, 0);    // detector off
    send(6, 11, 103, 1);    // nobody listens on 11
    turn();
    ASSERT_EQ(first.events.size(), 1u);
    EXPECT_EQ(first.events[0].code, 3);
    EXPECT_EQ(first.events[0].timestamp, 100);
    EXPECT_TRUE(second.events.empty());
    EXPECT_TRUE(other.events.empty());
    EXPECT_EQ(log_.take(),
              "dtmf event:  timestamp=100 timeslot=9 code=3 id=1\n"
              "dtmf event:  timestamp=101 timeslot=9 code=4 id=2\n"
              "ignore spurious dtmf event:  timestamp=101 timeslot=9 code=4 id=2 rid=1\n"
              "dtmf event:  timestamp=102 timeslot=10 code=5 id=0\n"
              "ignore spurious dtmf event (DTMF disabled):  timestamp=102 timeslot=10 code=5 id=0\n"
              "dtmf event:  timestamp=103 timeslot=11 code=6 id=1\n");
    EXPECT_EQ(err_.take(), "receive tonec event from unknown timeslot 11\n");
}

TEST_F(TonecTest, ReceiverDeletedByItsEventLeavesTheSlotUnknown)
{
    auto doomed = std::make_unique<Receiver>(service_, 9);
    ASSERT_TRUE(doomed->enableDTMF(true));
    doomed->onEvent = [&doomed] { doomed.reset(); };
    err_.take();
    send(1, 9, 1, 1);
    send(2, 9, 2, 1);
    turn();
    EXPECT_FALSE(doomed);
    EXPECT_EQ(err_.take(), "receive tonec event from unknown timeslot 9\n");
}

TEST_F(TonecTest, ReadFailuresAndShortRecordsEndTheTurn)
{
    Receiver r(service_, 9);
    ASSERT_TRUE(r.enableDTMF(true));
    err_.take();

    sim_.failRead(kDevice, EIO);
    send(1, 9, 1, 1);
    turn();
    EXPECT_EQ(err_.take(), "fail to read from tonec: Input/output error\n");
    EXPECT_TRUE(r.events.empty());
    turn();
    ASSERT_EQ(r.events.size(), 1u);

    ASSERT_TRUE(dtmf().sendBytes({0, 0, 0, 2, 0, 0, 0, 9}));
    send(2, 9, 2, 1);
    turn();
    EXPECT_EQ(err_.take(), "fail to read from tonec: short event of 8 bytes\n");
    EXPECT_EQ(r.events.size(), 1u);
    turn();
    ASSERT_EQ(r.events.size(), 2u);
    EXPECT_EQ(r.events[1].code, 2);
    EXPECT_EQ(err_.take(), "");
}

TEST_F(TonecTest, DigitSequenceTiming)
{
    Receiver r(service_, 3);
    r.translateDTMF(digits({tone(697, 1209), tone(941, 1336)}));
    EXPECT_TRUE(r.isPlaying());
    EXPECT_EQ(dials(), (Dials{dial(3, 697, 1209, 16384, 16384)}));
    clock_.advance(69);
    EXPECT_EQ(dials().size(), 1u);
    clock_.advance(1);
    clock_.advance(70);
    clock_.advance(70);
    EXPECT_EQ(r.completions, 0);
    clock_.advance(70);
    EXPECT_EQ(dials(), (Dials{dial(3, 697, 1209, 16384, 16384), dial(3, 1000, 1000, 0, 0),
                                 dial(3, 941, 1336, 16384, 16384), dial(3, 1000, 1000, 0, 0), dial(3, 0, 0, 0, 0)}));
    EXPECT_EQ(r.completions, 1);
    EXPECT_FALSE(r.isPlaying());
    EXPECT_FALSE(r.isToneStepPending());
}

TEST_F(TonecTest, EmptySequenceCompletesAtOnce)
{
    Receiver r(service_, 3);
    r.translateDTMF(LGCP::TranslateDtmfParams());
    EXPECT_EQ(dials(), (Dials{dial(3, 0, 0, 0, 0)}));
    EXPECT_EQ(r.completions, 1);
    EXPECT_FALSE(r.isPlaying());
}

TEST_F(TonecTest, SequenceOptionsAndControllerDurations)
{
    Receiver r(service_, 3);
    LGCP::TranslateDtmfParams p = digits({tone(852, 1477), tone(770, 1336)});
    p.include_amp1() = 1000;
    p.include_amp2() = 0x12345;        // low 16 bits go to the driver
    p.include_toneDuration() = -5;     // negative: the default
    p.include_pauseDuration() = 100000000;   // capped at two hours
    r.translateDTMF(p);
    EXPECT_EQ(dials().back(), dial(3, 852, 1477, 1000, 0x2345));
    clock_.advance(70);
    EXPECT_EQ(dials().back(), dial(3, 1000, 1000, 0, 0));
    clock_.advance(7199999);
    EXPECT_EQ(dials().size(), 2u);
    clock_.advance(1);
    EXPECT_EQ(dials().back(), dial(3, 770, 1336, 1000, 0x2345));
}

TEST_F(TonecTest, NewDigitsReplaceTheRestOfAPlayingSequence)
{
    Receiver r(service_, 3);
    r.translateDTMF(digits({tone(697, 1209), tone(697, 1336), tone(697, 1477)}));
    LGCP::TranslateDtmfParams next = digits({tone(941, 1633)});
    next.include_toneDuration() = 20;
    r.translateDTMF(next);
    EXPECT_EQ(dials().size(), 1u);   // the running tone goes on
    clock_.advance(70);
    clock_.advance(70);
    EXPECT_EQ(dials().back(), dial(3, 941, 1633, 16384, 16384));
    clock_.advance(20);
    clock_.advance(70);
    EXPECT_EQ(dials().back(), dial(3, 0, 0, 0, 0));
    EXPECT_EQ(dials().size(), 5u);
    EXPECT_EQ(r.completions, 1);
}

TEST_F(TonecTest, RingBackCadenceAndItsCancel)
{
    Receiver r(service_, 8);
    EXPECT_FALSE(r.disableToneGenerator(false));
    EXPECT_TRUE(dials().empty());

    r.activateAudibleCall();
    clock_.advance(1000);
    clock_.advance(3000);
    EXPECT_EQ(dials(), (Dials{dial(8, 425, 0, 2048, 2048), dial(8, 1000, 1000, 0, 0), dial(8, 425, 0, 2048, 2048)}));
    // Stopping the generator stops the cadence too.
    r.cancelAudibleCall();
    EXPECT_EQ(dials().back(), dial(8, 0, 0, 0, 0));
    EXPECT_FALSE(r.isToneStepPending());
    clock_.advance(4000);
    EXPECT_EQ(dials().size(), 4u);
}

TEST_F(TonecTest, RingBackEndsAPlayingSequence)
{
    Receiver r(service_, 8);
    r.translateDTMF(digits({tone(697, 1209), tone(770, 1209)}));
    r.cancelAudibleCall();   // a sequence is playing: nothing
    EXPECT_EQ(dials().size(), 1u);
    r.activateAudibleCall();
    EXPECT_FALSE(r.isPlaying());
    EXPECT_EQ(dials().back(), dial(8, 425, 0, 2048, 2048));
    clock_.advance(1000);
    EXPECT_EQ(dials().back(), dial(8, 1000, 1000, 0, 0));
    EXPECT_EQ(r.completions, 0);
    EXPECT_FALSE(r.disableToneGenerator(false));
    r.cancelAudibleCall();
    EXPECT_EQ(dials().back(), dial(8, 0, 0, 0, 0));
}

TEST_F(TonecTest, CleanBeforeDestroySwitchesOffWhatWasOn)
{
    auto r = std::make_unique<Receiver>(service_, 12);
    ASSERT_TRUE(r->enableDTMF(true));
    ASSERT_TRUE(r->enableIVA(true));
    ASSERT_TRUE(r->enableDTMFReject(true));
    r->activateAudibleCall();
    sim_.clearRequests();
    r->CleanBeforeDestroy();
    std::vector<SimBoard::Request> sent = requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].code, Tonec::kDisableDetector);
    EXPECT_EQ(sent[1].code, Tonec::kIvaDisable);
    EXPECT_EQ(sent[2].code, Tonec::kRejectionDisable);
    EXPECT_EQ(sent[3].data, dial(12, 0, 0, 0, 0));
    EXPECT_FALSE(dtmf().channel(12).dtmfOn);
    EXPECT_FALSE(dtmf().channel(12).ivaOn);
    EXPECT_FALSE(dtmf().channel(12).generatorOn());

    // Destruction drops a pending step.
    r->translateDTMF(digits({tone(697, 1209)}));
    sim_.clearRequests();
    r.reset();
    clock_.advance(5000);
    EXPECT_TRUE(requests().empty());
}

TEST_F(TonecTest, DtmfDisableIsSentAfterIvaClearedTheDetectorFlag)
{
    Receiver r(service_, 12);
    ASSERT_TRUE(r.enableDTMF(true));
    ASSERT_TRUE(r.enableIVA(true));
    ASSERT_TRUE(r.enableIVA(false));
    EXPECT_FALSE(r.isDetectorOn());
    EXPECT_TRUE(dtmf().channel(12).dtmfOn);
    sim_.clearRequests();
    r.CleanBeforeDestroy();
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].code, Tonec::kDisableDetector);
    EXPECT_FALSE(dtmf().channel(12).dtmfOn);
    EXPECT_FALSE(r.isDtmfEnabled());
}

TEST_F(TonecTest, DigitsReplaceTheRingBack)
{
    Receiver r(service_, 8);
    r.activateAudibleCall();
    r.translateDTMF(digits({tone(697, 1209)}));
    clock_.advance(70);
    clock_.advance(70);
    EXPECT_EQ(r.completions, 1);
    clock_.advance(5000);
    EXPECT_EQ(dials(), (Dials{dial(8, 425, 0, 2048, 2048), dial(8, 697, 1209, 16384, 16384),
                                 dial(8, 1000, 1000, 0, 0), dial(8, 0, 0, 0, 0)}));
}

TEST_F(TonecTest, CompletionMayDeleteTheReceiver)
{
    auto r = std::make_unique<Receiver>(service_, 3);
    r->onComplete = [&r] { r.reset(); };
    r->translateDTMF(digits({tone(697, 1209)}));
    clock_.advance(70);
    clock_.advance(70);
    EXPECT_FALSE(r);
    EXPECT_EQ(dials().back(), dial(3, 0, 0, 0, 0));
}
