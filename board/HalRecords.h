#pragma once
// Requests and records of the time-slot switch on "/dev/hal" (type 'M').
// Every record field is a signed 32-bit word, big-endian as the driver takes it.
#include <array>
#include <cstddef>
#include <cstdint>

#include "board/BigEndian.h"
#include "board/IoctlCode.h"

namespace Hal {

// The switch's channels: 0..8191 device channels (trunk time slots, driver
// channels), then the shared bus, channel c of bus b at 8192 + b * 128 + c.
constexpr int kBusBase = 8192;
constexpr int kBuses = 16;
constexpr int kBusChannels = 128;
constexpr int kChannels = kBusBase + kBuses * kBusChannels;

constexpr std::uint32_t kConnect = IoctlCode::iow('M', 2, 8);
constexpr std::uint32_t kDisable = IoctlCode::iow('M', 3, 4);
constexpr std::uint32_t kWrite = IoctlCode::iowr('M', 4, 8);
constexpr std::uint32_t kRead = IoctlCode::iowr('M', 5, 8);

// Connect: the output (destination channel) carries the source channel.
struct ConnectRecord {
    static constexpr std::size_t kSize = 8;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t output = 0;
    std::int32_t source = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], output);
        BigEndian::putI32(&b[4], source);
        return b;
    }
    static ConnectRecord decode(const unsigned char* p) { return {BigEndian::getI32(p), BigEndian::getI32(p + 4)}; }
};

// Disable: the channel's output drives nothing.
struct DisableRecord {
    static constexpr std::size_t kSize = 4;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t channel = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], channel);
        return b;
    }
    static DisableRecord decode(const unsigned char* p) { return {BigEndian::getI32(p)}; }
};

// Write (the output carries the constant byte) and read (the byte comes back
// in the low-order 8 bits of word 1; 255 goes in).
struct ByteRecord {
    static constexpr std::size_t kSize = 8;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t channel = 0;
    std::int32_t value = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], channel);
        BigEndian::putI32(&b[4], value);
        return b;
    }
    static ByteRecord decode(const unsigned char* p) { return {BigEndian::getI32(p), BigEndian::getI32(p + 4)}; }
};

} // namespace Hal
