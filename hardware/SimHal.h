#pragma once
// Model of "/dev/hal": the time-slot switch. Every output 0..10239 is unset
// until the first request names it, then disabled, connected to a source or
// carrying a constant byte. A read samples a channel: the constant it carries,
// the sample of its source, or else the byte a test set as its input (0xFF by
// default). Channels outside 0..10239 are refused with EINVAL.
#include <array>
#include <cstdint>

#include "hardware/SimDriver.h"

class SimHal : public SimDriver {
public:
    static constexpr int kChannels = 10240;

    enum class Setting : std::uint8_t { Unset, Disabled, Connected, Constant };
    struct Output {
        Setting setting = Setting::Unset;
        std::int32_t source = -1;       // when connected
        unsigned char byte = 0;         // when constant
    };

    SimHal();

    int ioctl(SimOpenFile& file, std::uint32_t code, unsigned char* record, std::size_t size,
              int& error) override;

    const Output& output(int channel) const { return outputs_.at(static_cast<std::size_t>(channel)); }
    void setInput(int channel, unsigned char byte) { inputs_.at(static_cast<std::size_t>(channel)) = byte; }
    unsigned char sample(int channel) const;
    void reset();

private:
    static bool valid(std::int32_t channel) { return channel >= 0 && channel < kChannels; }

    std::array<Output, kChannels> outputs_;
    std::array<unsigned char, kChannels> inputs_;
};
