#pragma once
// Requests and records of the voice signal processor on "/dev/dsp" (type
// 'd'). Fields are big-endian as the driver takes them. One bit set selects
// the functions in configure, enable and disable requests and in events.
#include <array>
#include <cstddef>
#include <cstdint>

#include "board/BigEndian.h"
#include "board/IoctlCode.h"

namespace Dsp {

constexpr std::uint32_t kConfigure = IoctlCode::ior('d', 1, 20);
constexpr std::uint32_t kEnable = IoctlCode::ior('d', 2, 12);
constexpr std::uint32_t kDisable = IoctlCode::ior('d', 3, 12);
constexpr std::uint32_t kVadVersion = IoctlCode::ior('d', 4, 4);   // by value (0); answers the version

enum Function : std::uint32_t {
    kVad = 1,
    kSd = 2,
    kRxMute = 4,
    kTxMute = 8,
    kBss = 16,
    kDelays = 32,
    kRxGain = 64,
    kNg = 128,
    kToneFilter = 256,
    kFlags = 512,
};

// Functions each request takes.
constexpr std::uint32_t kConfigurable = kVad | kSd | kDelays | kRxGain | kToneFilter;
constexpr std::uint32_t kSwitchable = kVad | kSd | kRxMute | kTxMute | kBss | kNg;
constexpr std::uint32_t kDisableable = kSwitchable | kToneFilter;

// Settings of one function: 12 parameter bytes after the time slot and the
// function bit, zero unless the function uses them.
struct ConfigureRecord {
    static constexpr std::size_t kSize = 20;
    static constexpr std::size_t kParams = 12;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t ts = 0;
    std::int32_t function = 0;
    std::array<unsigned char, kParams> params{};

    // VAD of a version other than 2: fixed settings 3, 127, 0.
    static ConfigureRecord vadFixed(std::int32_t ts)
    {
        ConfigureRecord r{ts, kVad, {}};
        r.putI32(8, 3);
        r.putI32(12, 127);
        r.putI32(16, 0);
        return r;
    }
    static ConfigureRecord vadV2(std::int32_t ts, std::uint16_t voiceMs, std::uint16_t silenceMs, std::uint8_t energyDb)
    {
        ConfigureRecord r{ts, kVad, {}};
        r.putU16(8, voiceMs);
        r.putU16(10, silenceMs);
        r.put8(12, energyDb);
        return r;
    }
    static ConfigureRecord sd(std::int32_t ts) { return {ts, kSd, {}}; }
    static ConfigureRecord delays(std::int32_t ts, std::int32_t rx, std::int32_t tx, std::int32_t selcal)
    {
        ConfigureRecord r{ts, kDelays, {}};
        r.putI32(8, rx);
        r.putI32(12, tx);
        r.putI32(16, selcal);
        return r;
    }
    static ConfigureRecord rxGain(std::int32_t ts, std::uint8_t gain)
    {
        ConfigureRecord r{ts, kRxGain, {}};
        r.put8(8, gain);
        return r;
    }
    static ConfigureRecord toneFilter(std::int32_t ts, std::uint16_t freq, std::uint8_t enable,
                                      std::uint16_t durationMs, std::uint8_t levelDb)
    {
        ConfigureRecord r{ts, kToneFilter, {}};
        r.putU16(8, freq);
        r.put8(10, enable);
        r.putU16(12, durationMs);
        r.put8(14, levelDb);
        return r;
    }

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], ts);
        BigEndian::putI32(&b[4], function);
        for (std::size_t i = 0; i < kParams; ++i)
            b[8 + i] = params[i];
        return b;
    }
    static ConfigureRecord decode(const unsigned char* p)
    {
        ConfigureRecord r{BigEndian::getI32(p), BigEndian::getI32(p + 4), {}};
        for (std::size_t i = 0; i < kParams; ++i)
            r.params[i] = p[8 + i];
        return r;
    }

    // Parameter fields by their offset from the record start (8..19).
    std::int32_t i32At(std::size_t offset) const { return BigEndian::getI32(&params[offset - 8]); }
    std::uint16_t u16At(std::size_t offset) const { return BigEndian::getU16(&params[offset - 8]); }
    std::uint8_t u8At(std::size_t offset) const { return params[offset - 8]; }

private:
    void putI32(std::size_t offset, std::int32_t v) { BigEndian::putI32(&params[offset - 8], v); }
    void putU16(std::size_t offset, std::uint16_t v) { BigEndian::putU16(&params[offset - 8], v); }
    void put8(std::size_t offset, std::uint8_t v) { params[offset - 8] = v; }
};

// Enable (with the id the events will carry) or disable (id 0) of functions.
struct SwitchRecord {
    static constexpr std::size_t kSize = 12;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t ts = 0;
    std::uint32_t id = 0;
    std::uint32_t functions = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], ts);
        BigEndian::putU32(&b[4], id);
        BigEndian::putU32(&b[8], functions);
        return b;
    }
    static SwitchRecord decode(const unsigned char* p)
    {
        return {BigEndian::getI32(p), BigEndian::getU32(p + 4), BigEndian::getU32(p + 8)};
    }
};

// One event as read from the device; the three words are the payload (VAD:
// direction mask, rx, tx; SD: value; BSS: score; flags: flags, mask).
struct EventRecord {
    static constexpr std::size_t kSize = 24;
    static constexpr std::size_t kPayload = 12;
    using Bytes = std::array<unsigned char, kSize>;

    std::uint32_t ts = 0;
    std::uint32_t id = 0;
    std::uint32_t type = 0;
    std::array<std::uint32_t, 3> words{};

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putU32(&b[0], ts);
        BigEndian::putU32(&b[4], id);
        BigEndian::putU32(&b[8], type);
        for (std::size_t i = 0; i < words.size(); ++i)
            BigEndian::putU32(&b[12 + 4 * i], words[i]);
        return b;
    }
    static EventRecord decode(const unsigned char* p)
    {
        EventRecord r;
        r.ts = BigEndian::getU32(p);
        r.id = BigEndian::getU32(p + 4);
        r.type = BigEndian::getU32(p + 8);
        for (std::size_t i = 0; i < r.words.size(); ++i)
            r.words[i] = BigEndian::getU32(p + 12 + 4 * i);
        return r;
    }
};

} // namespace Dsp
