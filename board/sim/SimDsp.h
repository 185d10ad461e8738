#pragma once
// Model of "/dev/dsp": the voice signal processor. Per time slot
// (0..kTimeSlots-1, others refused with EINVAL) it keeps the settings of the
// configure requests (VAD record, SD, delays, receive gain, tone filters by
// frequency) and which switchable functions are on with the id of the enable
// that switched each on. A configure request names exactly one configurable
// function, an enable only switchable ones, a disable those or the tone
// filters (256: all filters off); an enable of either mute sets the pair
// (rx and tx muting as named); anything else is refused with EINVAL,
// unknown requests with ENOTTY. The VAD version query answers the version
// set here (2 by default). Failing requests and reads are injected through the
// board (SimBoard::failIoctl, failRead).
//
// Events go to every live open of the device, one message per event: the
// helpers send what the driver would (only for a function that is on, with
// its id), sendEvent() any event as it is.
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "board/DspRecords.h"
#include "board/sim/SimEventDriver.h"

class SimBoard;

class SimDsp : public SimEventDriver {
public:
    static constexpr int kTimeSlots = 8192;

    struct ToneFilter {
        std::uint8_t enable = 0;
        std::uint16_t durationMs = 0;
        std::uint8_t levelDb = 0;
    };

    struct Channel {
        bool vadConfigured = false;
        Dsp::ConfigureRecord vad;           // as sent
        bool sdConfigured = false;
        std::int32_t delayRx = 0;
        std::int32_t delayTx = 0;
        std::int32_t delaySelcal = 0;
        std::uint8_t rxGain = 0;            // dB, two's complement
        std::map<std::uint16_t, ToneFilter> toneFilters;   // by frequency
        std::uint32_t on = 0;               // function bits switched on
        std::array<std::uint32_t, 10> ids{};   // enable id by function bit number

        bool isOn(std::uint32_t function) const { return (on & function) != 0; }
        std::uint32_t idOf(std::uint32_t function) const;
    };

    // The driver the board registered for "/dev/dsp".
    static SimDsp& of(const SimBoard& board);

    int ioctl(SimOpenFile& file, std::uint32_t code, unsigned char* record, std::size_t size,
              int& error) override;
    int ioctlValue(SimOpenFile& file, std::uint32_t code, long value, int& error) override;

    // The state of a time slot; a slot never named is all off.
    const Channel& channel(int ts) const;
    void setVadVersion(int version) { vadVersion_ = version; }

    // Events as the driver sends them; false (nothing sent) while the
    // function is off (tone filter: no enabled filter on freq; flags are
    // always sent).
    bool vad(int ts, std::uint32_t dirMask, std::int32_t rx, std::int32_t tx);
    bool sd(int ts, std::int32_t value);
    bool bss(int ts, float score);
    bool toneFilter(int ts, std::uint16_t freq, bool presence);
    bool flags(int ts, std::uint32_t flags, std::uint32_t mask);
    // Sends the event as it is; false when there is no open or some open
    // could not take it.
    bool sendEvent(const Dsp::EventRecord& event);

    void reset() { channels_.clear(); }

private:
    static bool valid(std::int32_t ts) { return ts >= 0 && ts < kTimeSlots; }
    int configure(const Dsp::ConfigureRecord& record, int& error);

    std::map<std::int32_t, Channel> channels_;
    int vadVersion_ = 2;
};
