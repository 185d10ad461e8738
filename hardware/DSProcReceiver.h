#pragma once
// The per-endpoint half of the DSP event receiver service on "/dev/dsp": a
// base of every slot that uses the voice signal processor's functions (VAD,
// SD, BSS, noise gate, muting, delays, receive gain, tone filters) on its TDM
// time slot. It remembers which functions it switched on with which request
// id, hands requests to the service with its time slot, and receives the
// events of its time slot.
//
// Every live receiver is in one process-wide list, in construction order; the
// service hands each event to the first receiver of its time slot. The owning
// slot calls CleanBeforeDestroy() before it is destroyed. An event callback
// may delete the receiver.
//
// The three payload records are the driver's event bytes 12..23, kept as
// bytes with an accessor per field (big-endian).
#include <array>
#include <cstdint>
#include <cstring>

#include "asn1/modules/LGCP.h"
#include "board/BigEndian.h"
#include "runtime/CyclicList.h"

namespace Hardware {

// Voice activity; -1 means the direction was not reported.
struct DSProcVADEvent {
    std::int32_t rx = -1;
    std::int32_t tx = -1;
};

// Signal detection on the receive side; negative: not reported.
struct DSProcSDEvent {
    std::int32_t sd_rx = -1;
};

} // namespace Hardware

struct dsproc_event_payload {
    static constexpr std::size_t kSize = 12;
    std::array<unsigned char, kSize> bytes{};

    std::uint32_t word(std::size_t i) const { return BigEndian::getU32(&bytes[4 * i]); }
    void set_word(std::size_t i, std::uint32_t v) { BigEndian::putU32(&bytes[4 * i], v); }
};

// Speech quality score, an IEEE 754 single at bytes 0..3.
struct dsproc_bss_event : dsproc_event_payload {
    float get_score() const
    {
        std::uint32_t bits = word(0);
        float score;
        std::memcpy(&score, &bits, sizeof score);
        return score;
    }
    void set_score(float score)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &score, sizeof bits);
        set_word(0, bits);
    }
};

// Tone filter: signed frequency at bytes 0..3, presence byte at 4.
struct dsproc_tone_event : dsproc_event_payload {
    std::int32_t get_freq() const { return BigEndian::getI32(&bytes[0]); }
    bool get_presence() const { return bytes[4] != 0; }
    void set_freq(std::int32_t v) { BigEndian::putI32(&bytes[0], v); }
    void set_presence(unsigned char v) { bytes[4] = v; }
};

// Flag bits and the mask of the bits reported.
struct dsproc_flags_event : dsproc_event_payload {
    std::uint32_t get_values() const { return word(0); }
    std::uint32_t get_mask() const { return word(1); }
    void set_values(std::uint32_t v) { set_word(0, v); }
    void set_mask(std::uint32_t v) { set_word(1, v); }
};

namespace Hardware {

class DSProcReceiverService;

class DSProcReceiver {
public:
    // A function's state: not yet set, off, on (muting: the flag requested).
    static constexpr std::int32_t kUnset = -1;

    // Requests go to the process's service.
    DSProcReceiver();
    // Requests go to `service`, which outlives the receiver (tests).
    explicit DSProcReceiver(DSProcReceiverService& service);
    // Unlinks the receiver.
    virtual ~DSProcReceiver();
    DSProcReceiver(const DSProcReceiver&) = delete;
    DSProcReceiver& operator=(const DSProcReceiver&) = delete;

    virtual void dsproc_vad_event(const DSProcVADEvent& event) = 0;
    virtual void dsproc_bss_event(const ::dsproc_bss_event* event) = 0;
    virtual void dsproc_sd_event(const DSProcSDEvent& event) = 0;
    virtual void dsproc_tone_flt_event(const ::dsproc_tone_event* event) = 0;
    virtual void dsproc_flags_event(const ::dsproc_flags_event* event) = 0;
    // The time slot whose events the receiver takes.
    virtual int dsproc_timeslot() const = 0;

    bool configureVAD(const LGCP::VADParams& params);
    bool enableVAD(bool on);
    bool disableVAD();
    bool enableBSS(bool on);
    bool disableBSS();
    bool enableNG(bool on);
    bool disableNG();
    bool configureSD();
    bool enableSD(bool on);
    bool disableSD();
    bool enableMute(bool rx, bool tx);
    bool disableMute();
    // Remember whether anything non-zero was set, whatever the result.
    void configureDelays(int rx, int tx, int selcal);
    void configureRxGain(char gain);
    void configureToneFilter(unsigned freq, unsigned enable, int duration, int level);
    void disableToneAll();
    // Switches off what this receiver switched on (not SD or muting), resets
    // delays and gain when set, and always disables the tone filters.
    void CleanBeforeDestroy();

    std::int32_t vadState() const { return vadState_; }
    std::uint32_t vadId() const { return vadId_; }
    std::int32_t bssState() const { return bssState_; }
    std::uint32_t bssId() const { return bssId_; }
    std::int32_t ngState() const { return ngState_; }
    std::uint32_t ngId() const { return ngId_; }
    std::int32_t sdState() const { return sdState_; }
    std::uint32_t sdId() const { return sdId_; }
    std::int32_t rxMuteState() const { return rxMuteState_; }
    std::int32_t txMuteState() const { return txMuteState_; }
    std::uint32_t muteId() const { return muteId_; }
    bool delaysSet() const { return delaysSet_; }
    bool rxGainSet() const { return rxGainSet_; }

    // The list of live receivers, oldest first.
    static Containers::CyclicList& receivers();
    static DSProcReceiver* fromLink(Containers::CyclicList* node);

private:
    friend class DSProcReceiverService;

    DSProcReceiverService& service();

    std::int32_t vadState_ = kUnset;
    std::uint32_t vadId_ = 0;
    std::int32_t bssState_ = 0;
    std::uint32_t bssId_ = 0;
    std::int32_t ngState_ = 0;
    std::uint32_t ngId_ = 0;
    std::int32_t sdState_ = kUnset;
    std::uint32_t sdId_ = 0;
    std::int32_t rxMuteState_ = kUnset;
    std::int32_t txMuteState_ = kUnset;
    std::uint32_t muteId_ = 0;
    bool delaysSet_ = false;
    bool rxGainSet_ = false;
    Containers::CyclicList link_;
    DSProcReceiverService* service_ = nullptr;   // null: the process's, looked up at first use
};

} // namespace Hardware
