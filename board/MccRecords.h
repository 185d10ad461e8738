#pragma once
// Requests and records of the multi-channel communication controller on
// "/dev/mcc/ctl" (type 'M'). Each open of the device is one HDLC channel: the
// open asks for a channel with MCC_ALLOCATE, then learns the controller's time
// slot of it with MCC_TIMESLOT (a plain request, the slot is its result).
// Record fields are signed 32-bit words, big-endian as the driver takes them.
#include <array>
#include <cstddef>
#include <cstdint>

#include "board/BigEndian.h"
#include "board/IoctlCode.h"

constexpr std::uint32_t MCC_ALLOCATE = IoctlCode::ior('M', 0, 20);
constexpr std::uint32_t MCC_TIMESLOT = IoctlCode::io('M', 2);

namespace Mcc {

// The channel's settings: a mode code, then four words whose meaning belongs
// to the driver; the daemon always sends 512, 0, 1, 4.
struct AllocateRecord {
    static constexpr std::size_t kSize = 20;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t mode = 0;
    std::array<std::int32_t, 4> words{{512, 0, 1, 4}};

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], mode);
        for (std::size_t i = 0; i < words.size(); ++i)
            BigEndian::putI32(&b[4 + 4 * i], words[i]);
        return b;
    }
    static AllocateRecord decode(const unsigned char* p)
    {
        AllocateRecord r;
        r.mode = BigEndian::getI32(p);
        for (std::size_t i = 0; i < r.words.size(); ++i)
            r.words[i] = BigEndian::getI32(p + 4 + 4 * i);
        return r;
    }
};

// The driver's mode code of a channel mode (0, 1, 2); false for any other mode.
inline bool modeCode(std::int32_t mode, std::int32_t& code)
{
    static constexpr std::int32_t kCodes[] = {3, 0, 1};
    if (mode < 0 || mode > 2)
        return false;
    code = kCodes[mode];
    return true;
}

} // namespace Mcc
