#pragma once
// The per-endpoint half of the tone receiver service on "/dev/dtmf": a base of
// every slot that listens for tones on a TDM time slot or plays them into it.
// It keeps the detector state the service gives it, hands requests to the
// service with its time slot, and runs the timed tone sequences (controller
// DTMF digit strings and the ring-back cadence) on one tone timer.
//
// Every live receiver is in one process-wide list, in construction order; the
// service hands each detection event to the first receiver of its time slot.
// The owning slot calls CleanBeforeDestroy() before it is destroyed.
//
// Callbacks (tonec_event, tone_gen_complete) may delete the receiver; nothing
// touches it after them.
#include <cstddef>
#include <cstdint>

#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "runtime/CyclicList.h"
#include "runtime/Timer.h"

namespace Hardware {

class TonecReceiverService;

class TonecReceiver {
public:
    // One detection event as the driver reports it.
    struct Params {
        std::int32_t code = 0;
        std::int32_t timestamp = 0;
    };

    static constexpr unsigned kDefaultStepMs = 70;            // digit tone and pause
    static constexpr unsigned kMaxStepMs = 7200000;           // longest controller duration
    static constexpr std::uint16_t kDefaultAmplitude = 16384;
    static constexpr std::uint16_t kRingFreq = 425;
    static constexpr std::uint16_t kRingAmplitude = 2048;
    static constexpr unsigned kRingOnMs = 1000;
    static constexpr unsigned kRingOffMs = 3000;

    // Requests go to the process's service.
    TonecReceiver();
    // Requests go to `service`, which outlives the receiver (tests).
    explicit TonecReceiver(TonecReceiverService& service);
    // Unlinks the receiver; a pending tone step is dropped.
    virtual ~TonecReceiver();
    TonecReceiver(const TonecReceiver&) = delete;
    TonecReceiver& operator=(const TonecReceiver&) = delete;

    virtual void tonec_event(const Params& params) = 0;
    // The time slot the receiver listens on and plays into.
    virtual int tonec_timeslot() const = 0;
    // A DTMF sequence has finished.
    virtual void tone_gen_complete() {}

    bool configureDTMF(const LGCP::DTMFParams& params);
    bool enableDTMF(bool on);
    bool disableDTMF();
    bool echoCancel(bool on);
    bool enableDTMFReject(bool on);
    bool enableIVA(bool on);
    bool configureIVA(const LGCP::IVAParams& params);
    // The request's result: -1 on failure or refusal.
    int translateSelcal(const TERM::SelcalCommand& cmd);
    bool enableToneGenerator(std::uint16_t freq1, std::uint16_t freq2, std::uint16_t amp1, std::uint16_t amp2);
    bool enableSilence();
    // Without force, only a playing DTMF sequence is stopped. Stopping cancels
    // the pending tone step, of a sequence or of the ring-back alike.
    bool disableToneGenerator(bool force);
    // Plays the digits, each tone then pause; a call while a sequence plays
    // replaces the digits still to play and the timing.
    void translateDTMF(const LGCP::TranslateDtmfParams& params);
    // Ring-back: 425 Hz for 1 s, silence for 3 s, again and again. A DTMF
    // sequence playing is ended (it does not complete).
    void activateAudibleCall();
    void cancelAudibleCall();
    void CleanBeforeDestroy();

    bool isDetectorOn() const { return detectorOn_; }
    bool isPlaying() const { return playing_; }
    std::uint32_t detectorId() const { return detectorId_; }
    bool isIvaEnabled() const { return ivaEnabled_; }
    bool isDtmfEnabled() const { return dtmfEnabled_; }
    bool isDtmfRejectEnabled() const { return dtmfRejectEnabled_; }
    bool isToneStepPending() const { return toneTimer_.get() != nullptr; }

    // The list of live receivers, oldest first.
    static Containers::CyclicList& receivers();
    static TonecReceiver* fromLink(Containers::CyclicList* node);

private:
    friend class TonecReceiverService;

    TonecReceiverService& service();
    void nextDigit();
    void toneEnd();
    void ringOn();
    void ringOff();

    bool detectorOn_ = false;
    Timer toneTimer_;
    bool playing_ = false;
    std::uint32_t detectorId_ = 0;
    LGCP::TranslateDtmfParams sequence_;
    std::size_t nextDigit_ = 0;   // digits before it are played
    Containers::CyclicList link_;
    bool ivaEnabled_ = false;
    bool dtmfEnabled_ = false;
    bool dtmfRejectEnabled_ = false;
    TonecReceiverService* service_ = nullptr;   // null: the process's, looked up at first use
};

} // namespace Hardware
