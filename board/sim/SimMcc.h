#pragma once
// Model of "/dev/mcc/ctl": the HDLC channels of the multi-channel
// communication controller. Each open may take one channel with MCC_ALLOCATE:
// the lowest free one of kChannels (EBUSY when none is free or the open holds
// one already). MCC_TIMESLOT answers the controller time slot of the open's
// channel, kFirstTimeSlot + channel number (EINVAL before MCC_ALLOCATE). The
// channel is free again once every descriptor of its open is closed.
//
// Frames travel one per message on the open's socket pair: takeFrame gives a
// test the next frame the daemon wrote, injectFrame queues a frame for the
// daemon to read. Failing requests, writes that would block (EAGAIN) and read
// errors are injected through the board (SimBoard::failIoctl, failWrite,
// failRead).
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "board/MccRecords.h"
#include "board/sim/SimDriver.h"

class SimBoard;

class SimMcc : public SimDriver {
public:
    static constexpr int kChannels = 32;
    static constexpr int kFirstTimeSlot = 1024;

    struct Channel {
        int number = -1;                // -1 until allocated
        Mcc::AllocateRecord settings;   // as the open sent them

        bool allocated() const { return number >= 0; }
        int timeSlot() const { return kFirstTimeSlot + number; }
    };

    // The driver the board registered for "/dev/mcc/ctl".
    static SimMcc& of(const SimBoard& board);

    SimMcc();

    void opened(SimOpenFile& file) override;
    void closed(SimOpenFile& file) override;
    int ioctl(SimOpenFile& file, std::uint32_t code, unsigned char* record, std::size_t size,
              int& error) override;
    int ioctlValue(SimOpenFile& file, std::uint32_t code, long value, int& error) override;

    // The channel state of a live open; null for an open this driver does not know.
    const Channel* channel(const SimOpenFile& file) const;
    // The open whose channel has the controller time slot, or null.
    SimOpenFile* fileOfTimeSlot(int slot) const;
    unsigned allocatedCount() const;

    // Queues one frame for the daemon; false when the open has no channel or
    // the frame does not fit the queue.
    bool injectFrame(SimOpenFile& file, const std::vector<unsigned char>& frame);
    // The next frame the daemon wrote on the open; empty when there is none.
    std::vector<unsigned char> takeFrame(SimOpenFile& file);

private:
    std::map<SimOpenFile*, Channel> channels_;
    std::array<bool, kChannels> used_;
};
