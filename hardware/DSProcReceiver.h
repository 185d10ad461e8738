#pragma once
// Events of the DSP event receiver service on "/dev/dsp", as handed to the
// receiver of their time slot. The three payload records are the driver's
// event bytes 12..23, kept as bytes with an accessor per field (big-endian).
#include <array>
#include <cstdint>
#include <cstring>

#include "hardware/BigEndian.h"

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
