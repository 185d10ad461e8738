#include "hardware/TonecReceiver.h"

#include "hardware/TonecReceiverService.h"

namespace Hardware {

namespace {

// A controller duration: negative gives the default, and it is capped so
// that no step lies further ahead than two hours.
unsigned stepMs(std::int32_t value)
{
    if (value < 0)
        return TonecReceiver::kDefaultStepMs;
    unsigned ms = static_cast<unsigned>(value);
    return ms > TonecReceiver::kMaxStepMs ? TonecReceiver::kMaxStepMs : ms;
}

// Frequencies and amplitudes go to the driver as their low 16 bits.
std::uint16_t low16(const ASN1::INTEGER& value)
{
    return static_cast<std::uint16_t>(value.getValue());
}

} // namespace

Containers::CyclicList& TonecReceiver::receivers()
{
    static Containers::CyclicList list;
    return list;
}

TonecReceiver* TonecReceiver::fromLink(Containers::CyclicList* node)
{
    return Containers::offset(node, &TonecReceiver::link_);
}

TonecReceiver::TonecReceiver()
{
    receivers().InternalAddTail(&link_);
}

TonecReceiver::TonecReceiver(TonecReceiverService& service) : service_(&service)
{
    receivers().InternalAddTail(&link_);
}

TonecReceiver::~TonecReceiver()
{
    link_.Unlink();
}

TonecReceiverService& TonecReceiver::service()
{
    if (service_ == nullptr)
        service_ = &TonecReceiverService::instance();
    return *service_;
}

bool TonecReceiver::configureDTMF(const LGCP::DTMFParams& params)
{
    return service().configureDTMF(static_cast<unsigned>(tonec_timeslot()), params);
}

bool TonecReceiver::enableDTMF(bool on)
{
    if (!service().enableDTMF(*this, on))
        return false;
    dtmfEnabled_ = on;
    return true;
}

bool TonecReceiver::disableDTMF()
{
    return enableDTMF(false);
}

bool TonecReceiver::echoCancel(bool on)
{
    return service().echoCancel(static_cast<unsigned>(tonec_timeslot()), on);
}

bool TonecReceiver::enableDTMFReject(bool on)
{
    if (!service().enableDTMFReject(static_cast<unsigned>(tonec_timeslot()), on))
        return false;
    dtmfRejectEnabled_ = on;
    return true;
}

bool TonecReceiver::enableIVA(bool on)
{
    if (!service().enableIVA(*this, on))
        return false;
    ivaEnabled_ = on;
    return true;
}

bool TonecReceiver::configureIVA(const LGCP::IVAParams& params)
{
    return service().configureIVA(*this, params);
}

int TonecReceiver::translateSelcal(const TERM::SelcalCommand& cmd)
{
    return service().translateSelcal(*this, cmd);
}

bool TonecReceiver::enableToneGenerator(std::uint16_t freq1, std::uint16_t freq2, std::uint16_t amp1,
                                        std::uint16_t amp2)
{
    return service().enableToneGenerator(static_cast<unsigned>(tonec_timeslot()), freq1, freq2, amp1, amp2);
}

bool TonecReceiver::enableSilence()
{
    return enableToneGenerator(1000, 1000, 0, 0);
}

bool TonecReceiver::disableToneGenerator(bool force)
{
    if (!force && !playing_)
        return false;
    // The ring-back cadence would switch the tone on again at its next step.
    toneTimer_.reset();
    playing_ = false;
    return enableToneGenerator(0, 0, 0, 0);
}

void TonecReceiver::translateDTMF(const LGCP::TranslateDtmfParams& params)
{
    sequence_ = params;
    nextDigit_ = 0;
    if (playing_)
        return;   // the running steps go on with the new digits
    playing_ = true;
    nextDigit();
}

void TonecReceiver::nextDigit()
{
    const ASN1::SEQUENCE_OF<LGCP::DualTone>& digits = sequence_.get_digits();
    if (nextDigit_ >= digits.size()) {
        disableToneGenerator(true);
        tone_gen_complete();   // may delete this receiver
        return;
    }
    const LGCP::DualTone& digit = digits[nextDigit_++];
    std::uint16_t amp1 = sequence_.has_amp1() ? low16(sequence_.get_amp1()) : kDefaultAmplitude;
    std::uint16_t amp2 = sequence_.has_amp2() ? low16(sequence_.get_amp2()) : kDefaultAmplitude;
    enableToneGenerator(low16(digit.get_freq1()), low16(digit.get_freq2()), amp1, amp2);
    unsigned ms = sequence_.has_toneDuration() ? stepMs(sequence_.get_toneDuration().getValue()) : kDefaultStepMs;
    toneTimer_.set(ms, &TonecReceiver::toneEnd, this);
}

void TonecReceiver::toneEnd()
{
    enableSilence();
    unsigned ms = sequence_.has_pauseDuration() ? stepMs(sequence_.get_pauseDuration().getValue()) : kDefaultStepMs;
    toneTimer_.set(ms, &TonecReceiver::nextDigit, this);
}

void TonecReceiver::activateAudibleCall()
{
    playing_ = false;
    ringOn();
}

void TonecReceiver::ringOn()
{
    enableToneGenerator(kRingFreq, 0, kRingAmplitude, kRingAmplitude);
    toneTimer_.set(kRingOnMs, &TonecReceiver::ringOff, this);
}

void TonecReceiver::ringOff()
{
    enableSilence();
    toneTimer_.set(kRingOffMs, &TonecReceiver::ringOn, this);
}

void TonecReceiver::cancelAudibleCall()
{
    if (playing_)
        return;
    disableToneGenerator(true);
}

void TonecReceiver::CleanBeforeDestroy()
{
    if (dtmfEnabled_)
        disableDTMF();
    if (ivaEnabled_)
        enableIVA(false);
    if (dtmfRejectEnabled_)
        enableDTMFReject(false);
    // A sequence or the ring-back still running would leave its tone on.
    if (isToneStepPending())
        disableToneGenerator(true);
}

} // namespace Hardware
