#pragma once
// Requests and records of "/dev/hal" beyond the time-slot switch: register
// access of the line-interface chips over SPI (type 'B') and the TDM bus clock
// source (type 'C').
#include <array>
#include <cstddef>
#include <cstdint>

#include "board/BigEndian.h"
#include "board/IoctlCode.h"

namespace Spi {

constexpr std::uint32_t kReadRegister = IoctlCode::iowr('B', 3, 3);
constexpr std::uint32_t kWriteRegister = IoctlCode::iowr('B', 4, 3);

// The line interfaces (the BRI ports) behind the SPI bus.
constexpr int kChannels = 8;

// Register access: channel, register address, value (0xFF going into a read;
// the read's value comes back in the low 8 bits of the request's result).
struct RegisterRecord {
    static constexpr std::size_t kSize = 3;
    using Bytes = std::array<unsigned char, kSize>;

    unsigned char channel = 0;
    unsigned char address = 0;
    unsigned char value = 0;

    Bytes encode() const { return Bytes{channel, address, value}; }
    static RegisterRecord decode(const unsigned char* p) { return {p[0], p[1], p[2]}; }
};

} // namespace Spi

namespace Clock {

// HW_CLOCK_SELECT: the record is the clock code.
constexpr std::uint32_t kSelect = IoctlCode::iow('C', 1, 4);

struct SelectRecord {
    static constexpr std::size_t kSize = 4;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t code = 0;

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], code);
        return b;
    }
    static SelectRecord decode(const unsigned char* p) { return {BigEndian::getI32(p)}; }
};

} // namespace Clock
