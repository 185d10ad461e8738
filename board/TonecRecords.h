#pragma once
// Requests and records of the tone processor on "/dev/dtmf" (type 'B').
// Fields are big-endian as the driver takes them. Requests named "by value"
// pass the time slot itself instead of a record.
#include <array>
#include <cstddef>
#include <cstdint>

#include "board/BigEndian.h"
#include "board/IoctlCode.h"

namespace Tonec {

constexpr std::uint32_t kConfigureDetector = IoctlCode::ior('B', 2, 20);
constexpr std::uint32_t kEnableDetector = IoctlCode::ior('B', 3, 8);
constexpr std::uint32_t kDisableDetector = IoctlCode::ior('B', 4, 4);     // by value
constexpr std::uint32_t kDial = IoctlCode::ior('B', 5, 12);
constexpr std::uint32_t kLmsOn = IoctlCode::ior('B', 6, 4);               // by value
constexpr std::uint32_t kLmsOff = IoctlCode::ior('B', 7, 4);              // by value
constexpr std::uint32_t kRejectionEnable = IoctlCode::ior('B', 9, 4);     // by value
constexpr std::uint32_t kRejectionDisable = IoctlCode::ior('B', 10, 4);   // by value
constexpr std::uint32_t kIvaEnable = IoctlCode::ior('B', 11, 4);          // by value
constexpr std::uint32_t kIvaDisable = IoctlCode::ior('B', 12, 4);         // by value
constexpr std::uint32_t kIvaConfigure = IoctlCode::ior('B', 13, 8);
constexpr std::uint32_t kSelcalDial = IoctlCode::ior('B', 14, 12);

// DTMF detector thresholds of one time slot.
struct ConfigureRecord {
    static constexpr std::size_t kSize = 20;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t ts = 0;
    std::int32_t twist = 0;
    std::int32_t ratio = 0;
    std::int32_t silence = 0;
    std::int32_t noise = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], ts);
        BigEndian::putI32(&b[4], twist);
        BigEndian::putI32(&b[8], ratio);
        BigEndian::putI32(&b[12], silence);
        BigEndian::putI32(&b[16], noise);
        return b;
    }
    static ConfigureRecord decode(const unsigned char* p)
    {
        return {BigEndian::getI32(p), BigEndian::getI32(p + 4), BigEndian::getI32(p + 8),
                BigEndian::getI32(p + 12), BigEndian::getI32(p + 16)};
    }
};

// DTMF detector on, with the id its events will carry.
struct EnableRecord {
    static constexpr std::size_t kSize = 8;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t ts = 0;
    std::uint32_t id = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], ts);
        BigEndian::putU32(&b[4], id);
        return b;
    }
    static EnableRecord decode(const unsigned char* p) { return {BigEndian::getI32(p), BigEndian::getU32(p + 4)}; }
};

// Tone generator: two frequencies in Hz and their amplitudes; all 0 is off.
struct DialRecord {
    static constexpr std::size_t kSize = 12;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t ts = 0;
    std::uint16_t freq1 = 0;
    std::uint16_t freq2 = 0;
    std::uint16_t amp1 = 0;
    std::uint16_t amp2 = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], ts);
        BigEndian::putU16(&b[4], freq1);
        BigEndian::putU16(&b[6], freq2);
        BigEndian::putU16(&b[8], amp1);
        BigEndian::putU16(&b[10], amp2);
        return b;
    }
    static DialRecord decode(const unsigned char* p)
    {
        return {BigEndian::getI32(p), BigEndian::getU16(p + 4), BigEndian::getU16(p + 6),
                BigEndian::getU16(p + 8), BigEndian::getU16(p + 10)};
    }
};

// IVA detector level in dB.
struct IvaConfigureRecord {
    static constexpr std::size_t kSize = 8;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t ts = 0;
    std::int32_t level = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], ts);
        BigEndian::putI32(&b[4], level);
        return b;
    }
    static IvaConfigureRecord decode(const unsigned char* p) { return {BigEndian::getI32(p), BigEndian::getI32(p + 4)}; }
};

// SELCAL: amplitude and four sign characters, then two zero bytes.
struct SelcalRecord {
    static constexpr std::size_t kSize = 12;
    static constexpr std::size_t kSigns = 4;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t ts = 0;
    std::uint16_t amp = 0;
    std::array<unsigned char, kSigns> signs{};

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], ts);
        BigEndian::putU16(&b[4], amp);
        for (std::size_t i = 0; i < kSigns; ++i)
            b[6 + i] = signs[i];
        return b;
    }
    static SelcalRecord decode(const unsigned char* p)
    {
        SelcalRecord r;
        r.ts = BigEndian::getI32(p);
        r.amp = BigEndian::getU16(p + 4);
        for (std::size_t i = 0; i < kSigns; ++i)
            r.signs[i] = p[6 + i];
        return r;
    }
};

// One detection, as read from the device.
struct EventRecord {
    static constexpr std::size_t kSize = 16;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t code = 0;
    std::int32_t ts = 0;
    std::int32_t timestamp = 0;
    std::uint32_t id = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], code);
        BigEndian::putI32(&b[4], ts);
        BigEndian::putI32(&b[8], timestamp);
        BigEndian::putU32(&b[12], id);
        return b;
    }
    static EventRecord decode(const unsigned char* p)
    {
        return {BigEndian::getI32(p), BigEndian::getI32(p + 4), BigEndian::getI32(p + 8), BigEndian::getU32(p + 12)};
    }
};

} // namespace Tonec
