#pragma once
// Model of "/dev/hal": the time-slot switch. Every output 0..10239 is unset
// until the first request names it, then disabled, connected to a source or
// carrying a constant byte. A read samples a channel: the constant it carries,
// the sample of its source, or else the byte a test set as its input (0xFF by
// default). Channels outside 0..10239 are refused with EINVAL.
//
// Beside the switch: the registers (256 per channel) of the eight line
// interfaces behind the SPI bus, and the TDM bus clock source. A board
// without SPI answers every register request with ENODEV.
#include <array>
#include <cstdint>
#include <map>

#include "board/HalRecords.h"
#include "board/SpiRecords.h"
#include "board/sim/SimDriver.h"

class SimHal : public SimDriver {
public:
    static constexpr int kChannels = Hal::kChannels;

    enum class Setting : std::uint8_t { Unset, Disabled, Connected, Constant };
    struct Output {
        Setting setting = Setting::Unset;
        std::int32_t source = -1;       // when connected
        unsigned char byte = 0;         // when constant
    };

    SimHal();

    int ioctl(SimOpenFile& file, std::uint32_t code, unsigned char* record, std::size_t size,
              int& error) override;
    void ioctlEach(SimOpenFile& file, std::uint32_t code, unsigned char* records, std::size_t size,
                   std::size_t count) override;

    // Register access of the line interfaces.
    static constexpr int kLineStatus = 51;
    unsigned char spiRegister(int channel, int address) const
    {
        return registers_.at(static_cast<std::size_t>(channel)).at(static_cast<std::size_t>(address));
    }
    void setSpiRegister(int channel, int address, unsigned char value)
    {
        registers_.at(static_cast<std::size_t>(channel)).at(static_cast<std::size_t>(address)) = value;
    }
    void setSpiPresent(bool present) { spi_ = present; }

    // The last clock code selected; 4 (free-running) until the first selection.
    std::int32_t clockSource() const { return clock_; }

    const Output& output(int channel) const { return outputs_.at(static_cast<std::size_t>(channel)); }
    void setInput(int channel, unsigned char byte) { inputs_.at(static_cast<std::size_t>(channel)) = byte; }
    unsigned char sample(int channel) const;
    // A faulty channel: reads of it give the byte, whatever it carries.
    void setStuck(int channel, unsigned char byte) { stuck_[channel] = byte; }
    void reset();

private:
    int spiRequest(std::uint32_t code, unsigned char* record, int& error);
    bool disable(const unsigned char* record);

    static bool valid(std::int32_t channel) { return channel >= 0 && channel < kChannels; }

    std::array<Output, kChannels> outputs_;
    std::array<unsigned char, kChannels> inputs_;
    std::array<std::array<unsigned char, 256>, Spi::kChannels> registers_;
    std::map<int, unsigned char> stuck_;
    bool spi_ = true;
    std::int32_t clock_ = 4;
};
