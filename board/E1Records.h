#pragma once
// Requests and records of the E1 trunk drivers: "/dev/maintenance" (type 'M':
// trunk status, transmit clock) and "/dev/e1-cas" (type 'C': channel-associated
// signalling). Fields are big-endian as the drivers take them.
#include <array>
#include <cstddef>
#include <cstdint>

#include "board/BigEndian.h"
#include "board/IoctlCode.h"

namespace E1 {

// The board's E1 trunks and the time slots of each.
constexpr int kTrunks = 4;
constexpr int kTimeSlots = 32;

} // namespace E1

namespace Maintenance {

constexpr std::uint32_t kTrunkStatus = IoctlCode::iowr('M', 3, 80);
// The mask goes by value: bit t selects the transmit clock of trunk t.
constexpr std::uint32_t kTclk = IoctlCode::iowr('M', 11, 4);

// The 80-byte status record; only the fields below are known, the other bytes
// are zero going in and not read coming back.
struct TrunkStatusRecord {
    static constexpr std::size_t kSize = 80;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t trunk = 0;          // 0
    std::int32_t slips = 0;          // 36
    std::int32_t lossBF = 0;         // 40
    std::int32_t lossCarrier = 0;    // 44
    std::int32_t lossAIS = 0;        // 48
    std::int32_t lossRAI = 0;        // 52
    std::int32_t state = 0;          // 76, numbered as ACP::TrunkState

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], trunk);
        BigEndian::putI32(&b[36], slips);
        BigEndian::putI32(&b[40], lossBF);
        BigEndian::putI32(&b[44], lossCarrier);
        BigEndian::putI32(&b[48], lossAIS);
        BigEndian::putI32(&b[52], lossRAI);
        BigEndian::putI32(&b[76], state);
        return b;
    }
    static TrunkStatusRecord decode(const unsigned char* p)
    {
        TrunkStatusRecord r;
        r.trunk = BigEndian::getI32(p);
        r.slips = BigEndian::getI32(p + 36);
        r.lossBF = BigEndian::getI32(p + 40);
        r.lossCarrier = BigEndian::getI32(p + 44);
        r.lossAIS = BigEndian::getI32(p + 48);
        r.lossRAI = BigEndian::getI32(p + 52);
        r.state = BigEndian::getI32(p + 76);
        return r;
    }
};

} // namespace Maintenance

namespace Cas {

// Open and close take the trunk number by value.
constexpr std::uint32_t kOpenTrunk = IoctlCode::iow('C', 0, 4);
constexpr std::uint32_t kCloseTrunk = IoctlCode::iow('C', 1, 4);
constexpr std::uint32_t kSetBits = IoctlCode::iowr('C', 2, 12);
constexpr std::uint32_t kGetBits = IoctlCode::iowr('C', 3, 12);
constexpr std::uint32_t kSlot = IoctlCode::iowr('C', 4, 16);

// cas_channel: one time slot of a trunk (time slot 0: the whole trunk) and its
// signalling bits (low 4 bits each). Also the record of each event read from
// the device.
struct Channel {
    static constexpr std::size_t kSize = 12;
    using Bytes = std::array<unsigned char, kSize>;

    std::int32_t path = 0;          // 0
    std::int32_t timeslot = 0;      // 4
    unsigned char rx = 0;           // 8
    unsigned char tx = 0;           // 9, then 2 bytes of padding

    Bytes encode() const
    {
        Bytes b{};
        BigEndian::putI32(&b[0], path);
        BigEndian::putI32(&b[4], timeslot);
        b[8] = rx;
        b[9] = tx;
        return b;
    }
    static Channel decode(const unsigned char* p)
    {
        return {BigEndian::getI32(p), BigEndian::getI32(p + 4), p[8], p[9]};
    }
};

// Enable or disable signalling on one time slot: the channel, then the action.
struct SlotRecord {
    static constexpr std::size_t kSize = 16;
    using Bytes = std::array<unsigned char, kSize>;

    static constexpr std::int32_t kEnable = 0;
    static constexpr std::int32_t kDisable = 1;

    Channel channel;
    std::int32_t action = kEnable;   // 12

    Bytes encode() const
    {
        Bytes b{};
        Channel::Bytes c = channel.encode();
        for (std::size_t i = 0; i < c.size(); ++i)
            b[i] = c[i];
        BigEndian::putI32(&b[12], action);
        return b;
    }
    static SlotRecord decode(const unsigned char* p) { return {Channel::decode(p), BigEndian::getI32(p + 12)}; }
};

} // namespace Cas
