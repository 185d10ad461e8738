#pragma once
// The board's TDM time-slot switch on "/dev/hal". A switch output carries a
// source channel, carries a constant byte, or drives nothing. Channels:
// 0..8191 device channels (trunk time slots, driver channels), 8192..10239 the
// shared bus (8192 + bus * 128 + channel). The switch remembers the last
// setting of every shared-bus output and keeps the disabled ones disabled by a
// sweep of 128 outputs in every deferred-call pass.
//
// The device is opened on first use; while it cannot be opened every
// operation tries again and fails. Only the loop thread uses the switch.
#include <array>
#include <cstdint>

#include "board/HalRecords.h"
#include "runtime/Dpc.h"

class BoardDevice;

class HwMux {
public:
    static constexpr unsigned kBusOutputs = Hal::kBuses * Hal::kBusChannels;
    static constexpr unsigned kSweepLength = 128;
    static constexpr std::uint16_t kConstant = 0xFFFE;   // entry: given a constant byte
    static constexpr std::uint16_t kDisabled = 0xFFFF;   // entry: disabled
    static constexpr unsigned char kIdle = 0xD5;          // A-law silence

    // The process's switch, built on first call on the process's board.
    static HwMux& instance();

    // Writes "hwMux: init" and tries to open the device.
    HwMux();
    explicit HwMux(BoardDevice& board);
    ~HwMux();
    HwMux(const HwMux&) = delete;
    HwMux& operator=(const HwMux&) = delete;

    // Opens the device when it is not open yet; on success disables every
    // shared-bus output and starts the sweep.
    bool IsOpened();

    // Output dst carries channel src.
    bool Connect(int src, int dst);
    // Output ch carries the idle pattern.
    bool Disconnect(int ch);
    // Output ch drives nothing.
    bool Disable(int ch);
    // Output ch carries the constant byte value.
    bool Write(int ch, unsigned char value);
    // The byte channel ch carries now; 255 when it cannot be read.
    unsigned char Read(int ch);
    void Reset();

    // Disables shared-bus output 8192 + i again when its entry says disabled.
    void RefreshChannel(int i);
    // The sweep: the next 128 shared-bus outputs after the last one looked at.
    void OnDPC();

    std::uint16_t entryForTest(unsigned i) const { return table_.at(i); }
    std::uint32_t cursorForTest() const { return cursor_; }

private:
    void init();
    // Records the last setting of a shared-bus output; other channels have no entry.
    void track(int ch, std::uint16_t entry);
    bool sendDisable(int ch);

    BoardDevice& board_;
    int fd_ = -1;
    std::array<std::uint16_t, kBusOutputs> table_;
    std::uint32_t cursor_ = 0;
    Dpc refresh_;
};

// Prints up to 10 frames of the current call stack to standard output.
void print_trace();
