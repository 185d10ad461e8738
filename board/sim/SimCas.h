#pragma once
// Model of "/dev/e1-cas": channel-associated signalling on the four E1
// trunks. Each trunk is open or closed; each of its 32 time slots is enabled
// or not and has its received (rx) and transmitted (tx) bits. Tests change the
// received bits as the line would: the change goes to every open of the
// device as one 12-byte event record while the trunk is open and the slot
// enabled. Requests naming a trunk outside 0..3 or a time slot outside 0..31
// fail with EINVAL; bit requests on a closed trunk with ENXIO.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/E1Records.h"
#include "board/sim/SimDriver.h"

class SimCas : public SimDriver {
public:
    static constexpr int kTrunks = E1::kTrunks;
    static constexpr int kTimeSlots = E1::kTimeSlots;

    struct Slot {
        bool enabled = false;
        unsigned char rx = 0;
        unsigned char tx = 0;
    };

    void opened(SimOpenFile& file) override;
    void closed(SimOpenFile& file) override;
    int ioctl(SimOpenFile& file, std::uint32_t code, unsigned char* record, std::size_t size,
              int& error) override;
    int ioctlValue(SimOpenFile& file, std::uint32_t code, long value, int& error) override;

    bool trunkOpen(int trunk) const { return open_.at(static_cast<std::size_t>(trunk)); }
    const Slot& slot(int trunk, int timeslot) const
    {
        return slots_.at(static_cast<std::size_t>(trunk)).at(static_cast<std::size_t>(timeslot));
    }

    // The line's bits change; returns whether an event was sent.
    bool changeRx(int trunk, int timeslot, unsigned char rx);
    // Sends raw bytes as one event to every open (short or odd records).
    void sendEvent(const void* data, std::size_t size);

private:
    static bool validChannel(const Cas::Channel& c)
    {
        return c.path >= 0 && c.path < kTrunks && c.timeslot >= 0 && c.timeslot < kTimeSlots;
    }
    Slot& slotOf(const Cas::Channel& c)
    {
        return slots_[static_cast<std::size_t>(c.path)][static_cast<std::size_t>(c.timeslot)];
    }

    std::array<bool, kTrunks> open_{};
    std::array<std::array<Slot, kTimeSlots>, kTrunks> slots_{};
    std::vector<SimOpenFile*> files_;
};
