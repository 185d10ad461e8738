#include <gtest/gtest.h>

#include <memory>

#include "board/sim/SimBoard.h"
#include "board/sim/SimDsp.h"
#include "board/sim/SimDtmf.h"
#include "hardware/DSProcReceiver.h"
#include "hardware/DSProcReceiverService.h"
#include "hardware/TonecReceiver.h"
#include "hardware/TonecReceiverService.h"
#include "tests/hardware/ToneDspSupport.h"

using namespace ToneDspTest;

namespace {

// An endpoint as the RTP and mixer slots are: both receivers on one time slot.
class Endpoint : public Hardware::TonecReceiver, public Hardware::DSProcReceiver {
public:
    Endpoint(Hardware::TonecReceiverService& tonec, Hardware::DSProcReceiverService& dsp, int ts)
        : TonecReceiver(tonec), DSProcReceiver(dsp), ts_(ts)
    {
    }
    ~Endpoint() override
    {
        TonecReceiver::CleanBeforeDestroy();
        DSProcReceiver::CleanBeforeDestroy();
    }

    void tonec_event(const Params&) override { ++tones; }
    int tonec_timeslot() const override { return ts_; }
    void dsproc_vad_event(const Hardware::DSProcVADEvent&) override { ++vads; }
    void dsproc_bss_event(const ::dsproc_bss_event*) override {}
    void dsproc_sd_event(const Hardware::DSProcSDEvent&) override {}
    void dsproc_tone_flt_event(const ::dsproc_tone_event*) override {}
    void dsproc_flags_event(const ::dsproc_flags_event*) override {}
    int dsproc_timeslot() const override { return ts_; }

    int tones = 0;
    int vads = 0;

private:
    int ts_;
};

std::size_t length(const Containers::CyclicList& list)
{
    std::size_t n = 0;
    for (auto it = list.begin(); it != list.end(); ++it)
        ++n;
    return n;
}

} // namespace

TEST(Receivers, AnEndpointIsInBothListsForItsWholeLife)
{
    Capture err(std::cerr);
    Capture log(std::clog);
    SimBoard sim;
    Hardware::TonecReceiverService tonec(sim);
    Hardware::DSProcReceiverService dsp(sim);
    const std::size_t tonecBefore = length(Hardware::TonecReceiver::receivers());
    const std::size_t dspBefore = length(Hardware::DSProcReceiver::receivers());

    auto a = std::make_unique<Endpoint>(tonec, dsp, 20);
    Endpoint b(tonec, dsp, 21);
    EXPECT_EQ(length(Hardware::TonecReceiver::receivers()), tonecBefore + 2);
    EXPECT_EQ(length(Hardware::DSProcReceiver::receivers()), dspBefore + 2);
    EXPECT_EQ(Hardware::TonecReceiver::fromLink(Hardware::TonecReceiver::receivers().prev),
              static_cast<Hardware::TonecReceiver*>(&b));
    EXPECT_EQ(Hardware::DSProcReceiver::fromLink(Hardware::DSProcReceiver::receivers().prev),
              static_cast<Hardware::DSProcReceiver*>(&b));

    ASSERT_TRUE(b.enableDTMF(true));
    ASSERT_TRUE(b.enableVAD(true));
    a.reset();
    EXPECT_EQ(length(Hardware::TonecReceiver::receivers()), tonecBefore + 1);
    EXPECT_EQ(length(Hardware::DSProcReceiver::receivers()), dspBefore + 1);
    ASSERT_TRUE(SimDtmf::of(sim).detect(21, 1, 1));
    ASSERT_TRUE(SimDsp::of(sim).vad(21, 1, 1, 0));
    turn();
    EXPECT_EQ(b.tones, 1);
    EXPECT_EQ(b.vads, 1);
}
