#include "board/sim/SimHal.h"

#include <algorithm>

#include "board/HalRecords.h"
#include "board/SpiRecords.h"

SimHal::SimHal()
{
    reset();
}

void SimHal::reset()
{
    outputs_.fill(Output{});
    inputs_.fill(0xFF);
    for (auto& channel : registers_)
        channel.fill(0);
    stuck_.clear();
    spi_ = true;
    clock_ = 4;
}

// A read answers the register's value as the request's result.
int SimHal::spiRequest(std::uint32_t code, unsigned char* record, int& error)
{
    Spi::RegisterRecord r = Spi::RegisterRecord::decode(record);
    if (!spi_) {
        error = ENODEV;
        return -1;
    }
    if (r.channel >= Spi::kChannels) {
        error = EINVAL;
        return -1;
    }
    unsigned char& reg = registers_[r.channel][r.address];
    if (code == Spi::kReadRegister)
        return reg;
    reg = r.value;
    return 0;
}

// Follows connections; a loop of connections reads as the input of the channel
// where the walk gives up.
unsigned char SimHal::sample(int channel) const
{
    for (int hops = 0; hops < kChannels; ++hops) {
        const Output& out = output(channel);
        if (out.setting == Setting::Constant)
            return out.byte;
        if (out.setting != Setting::Connected)
            break;
        channel = out.source;
    }
    return inputs_[static_cast<std::size_t>(channel)];
}

bool SimHal::disable(const unsigned char* record)
{
    Hal::DisableRecord r = Hal::DisableRecord::decode(record);
    if (!valid(r.channel))
        return false;
    outputs_[static_cast<std::size_t>(r.channel)] = {Setting::Disabled, -1, 0};
    return true;
}

// The switch's sweep: up to 256 disables a loop turn.
void SimHal::ioctlEach(SimOpenFile& file, std::uint32_t code, unsigned char* records, std::size_t size,
                       std::size_t count)
{
    if (code != Hal::kDisable) {
        SimDriver::ioctlEach(file, code, records, size, count);
        return;
    }
    for (std::size_t i = 0; i < count; ++i)
        disable(records + i * size);
}

int SimHal::ioctl(SimOpenFile&, std::uint32_t code, unsigned char* record, std::size_t, int& error)
{
    switch (code) {
    case Hal::kConnect: {
        Hal::ConnectRecord r = Hal::ConnectRecord::decode(record);
        if (!valid(r.output) || !valid(r.source))
            break;
        outputs_[static_cast<std::size_t>(r.output)] = {Setting::Connected, r.source, 0};
        return 0;
    }
    case Hal::kDisable:
        if (!disable(record))
            break;
        return 0;
    case Hal::kWrite: {
        Hal::ByteRecord r = Hal::ByteRecord::decode(record);
        if (!valid(r.channel) || r.value < 0 || r.value > 0xFF)
            break;
        outputs_[static_cast<std::size_t>(r.channel)] = {Setting::Constant, -1, static_cast<unsigned char>(r.value)};
        return 0;
    }
    case Hal::kRead: {
        Hal::ByteRecord r = Hal::ByteRecord::decode(record);
        if (!valid(r.channel))
            break;
        auto stuck = stuck_.find(r.channel);
        r.value = stuck != stuck_.end() ? stuck->second : sample(r.channel);
        Hal::ByteRecord::Bytes out = r.encode();
        std::copy(out.begin(), out.end(), record);
        return 0;
    }
    case Spi::kReadRegister:
    case Spi::kWriteRegister:
        return spiRequest(code, record, error);
    case Clock::kSelect: {
        Clock::SelectRecord r = Clock::SelectRecord::decode(record);
        if (r.code < 0)
            break;
        clock_ = r.code;
        return 0;
    }
    default:
        error = ENOTTY;
        return -1;
    }
    error = EINVAL;
    return -1;
}
