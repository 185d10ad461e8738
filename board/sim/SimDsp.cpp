#include "board/sim/SimDsp.h"

#include <cerrno>
#include <cstring>

#include "board/sim/SimBoard.h"

namespace {

// Bit number of a one-bit function set.
unsigned bitNumber(std::uint32_t function)
{
    unsigned n = 0;
    while (function > 1) {
        function >>= 1;
        ++n;
    }
    return n;
}

bool oneBit(std::uint32_t bits)
{
    return bits != 0 && (bits & (bits - 1)) == 0;
}

} // namespace

std::uint32_t SimDsp::Channel::idOf(std::uint32_t function) const
{
    return ids[bitNumber(function)];
}

SimDsp& SimDsp::of(const SimBoard& board)
{
    return static_cast<SimDsp&>(*board.driver("/dev/dsp"));
}

const SimDsp::Channel& SimDsp::channel(int ts) const
{
    static const Channel off;
    auto it = channels_.find(ts);
    return it == channels_.end() ? off : it->second;
}

int SimDsp::ioctl(SimOpenFile&, std::uint32_t code, unsigned char* record, std::size_t, int& error)
{
    if (code == Dsp::kConfigure)
        return configure(Dsp::ConfigureRecord::decode(record), error);
    if (code != Dsp::kEnable && code != Dsp::kDisable) {
        error = ENOTTY;
        return -1;
    }
    const Dsp::SwitchRecord request = Dsp::SwitchRecord::decode(record);
    const std::uint32_t allowed = code == Dsp::kEnable ? Dsp::kSwitchable : Dsp::kDisableable;
    if (!valid(request.ts) || request.functions == 0 || (request.functions & ~allowed) != 0) {
        error = EINVAL;
        return -1;
    }
    Channel& ch = channels_[request.ts];
    if (code == Dsp::kDisable) {
        ch.on &= ~request.functions;
        if ((request.functions & Dsp::kToneFilter) != 0)
            ch.toneFilters.clear();
        return 0;
    }
    // Muting is set as a pair: an enable naming either mute sets both.
    constexpr std::uint32_t mutes = Dsp::kRxMute | Dsp::kTxMute;
    if ((request.functions & mutes) != 0)
        ch.on &= ~mutes;
    ch.on |= request.functions;
    for (unsigned bit = 0; bit < ch.ids.size(); ++bit)
        if ((request.functions & (1u << bit)) != 0)
            ch.ids[bit] = request.id;
    return 0;
}

int SimDsp::configure(const Dsp::ConfigureRecord& record, int& error)
{
    const std::uint32_t function = static_cast<std::uint32_t>(record.function);
    if (!valid(record.ts) || !oneBit(function) || (function & Dsp::kConfigurable) == 0) {
        error = EINVAL;
        return -1;
    }
    Channel& ch = channels_[record.ts];
    switch (function) {
    case Dsp::kVad:
        ch.vadConfigured = true;
        ch.vad = record;
        break;
    case Dsp::kSd:
        ch.sdConfigured = true;
        break;
    case Dsp::kDelays:
        ch.delayRx = record.i32At(8);
        ch.delayTx = record.i32At(12);
        ch.delaySelcal = record.i32At(16);
        break;
    case Dsp::kRxGain:
        ch.rxGain = record.u8At(8);
        break;
    default:
        ch.toneFilters[record.u16At(8)] = ToneFilter{record.u8At(10), record.u16At(12), record.u8At(14)};
        break;
    }
    return 0;
}

int SimDsp::ioctlValue(SimOpenFile&, std::uint32_t code, long, int& error)
{
    if (code != Dsp::kVadVersion) {
        error = ENOTTY;
        return -1;
    }
    return vadVersion_;
}

bool SimDsp::vad(int ts, std::uint32_t dirMask, std::int32_t rx, std::int32_t tx)
{
    const Channel& ch = channel(ts);
    if (!ch.isOn(Dsp::kVad))
        return false;
    return sendEvent({static_cast<std::uint32_t>(ts), ch.idOf(Dsp::kVad), Dsp::kVad,
                      {dirMask, static_cast<std::uint32_t>(rx), static_cast<std::uint32_t>(tx)}});
}

bool SimDsp::sd(int ts, std::int32_t value)
{
    const Channel& ch = channel(ts);
    if (!ch.isOn(Dsp::kSd))
        return false;
    return sendEvent({static_cast<std::uint32_t>(ts), ch.idOf(Dsp::kSd), Dsp::kSd,
                      {static_cast<std::uint32_t>(value), 0, 0}});
}

bool SimDsp::bss(int ts, float score)
{
    const Channel& ch = channel(ts);
    if (!ch.isOn(Dsp::kBss))
        return false;
    std::uint32_t bits;
    static_assert(sizeof bits == sizeof score, "IEEE 754 single");
    std::memcpy(&bits, &score, sizeof bits);
    return sendEvent({static_cast<std::uint32_t>(ts), ch.idOf(Dsp::kBss), Dsp::kBss, {bits, 0, 0}});
}

bool SimDsp::toneFilter(int ts, std::uint16_t freq, bool presence)
{
    const Channel& ch = channel(ts);
    auto it = ch.toneFilters.find(freq);
    if (it == ch.toneFilters.end() || it->second.enable == 0)
        return false;
    // The frequency as a signed word, then the presence byte.
    return sendEvent({static_cast<std::uint32_t>(ts), 0, Dsp::kToneFilter,
                      {freq, presence ? 0x01000000u : 0u, 0}});
}

bool SimDsp::flags(int ts, std::uint32_t flags, std::uint32_t mask)
{
    return sendEvent({static_cast<std::uint32_t>(ts), 0, Dsp::kFlags, {flags, mask, 0}});
}

bool SimDsp::sendEvent(const Dsp::EventRecord& event)
{
    const Dsp::EventRecord::Bytes bytes = event.encode();
    return sendBytes(bytes.data(), bytes.size());
}
