#pragma once
// Model of "/dev/dtmf": the tone processor. Per time slot (0..kTimeSlots-1,
// others refused with EINVAL) it keeps the DTMF detector thresholds, whether
// the DTMF detector is on and with which id, the IVA detector and its level,
// the echo canceller, DTMF rejection, the tone generator's last setting and
// the last SELCAL dialled. Unknown requests fail with ENOTTY; failing
// requests and reads are injected through the board (SimBoard::failIoctl,
// failRead).
//
// Detection events go to every live open of the device, one message per
// event: detect() as the driver would send them, sendEvent() any event as it
// is (stale ids, unknown time slots).
#include <cstdint>
#include <map>
#include <vector>

#include "board/TonecRecords.h"
#include "board/sim/SimEventDriver.h"

class SimBoard;

class SimDtmf : public SimEventDriver {
public:
    static constexpr int kTimeSlots = 8192;

    struct Channel {
        bool configured = false;
        Tonec::ConfigureRecord thresholds;
        bool dtmfOn = false;
        std::uint32_t dtmfId = 0;       // of the last enable
        bool ivaOn = false;
        bool ivaConfigured = false;
        std::int32_t ivaLevel = 0;
        bool echoCancel = false;
        bool rejection = false;
        Tonec::DialRecord generator;    // all zero: off
        bool selcalDialled = false;
        Tonec::SelcalRecord selcal;

        bool generatorOn() const { return generator.amp1 != 0 || generator.amp2 != 0; }
    };

    // The driver the board registered for "/dev/dtmf".
    static SimDtmf& of(const SimBoard& board);

    int ioctl(SimOpenFile& file, std::uint32_t code, unsigned char* record, std::size_t size,
              int& error) override;
    int ioctlValue(SimOpenFile& file, std::uint32_t code, long value, int& error) override;

    // The state of a time slot; a slot never named is all off.
    const Channel& channel(int ts) const;

    // A detection on ts, sent with the DTMF detector's id while the DTMF or
    // the IVA detector is on; false (nothing sent) otherwise.
    bool detect(int ts, std::int32_t code, std::int32_t timestamp);
    // Sends the event as it is; false when there is no open or some open
    // could not take it.
    bool sendEvent(const Tonec::EventRecord& event);

    // Every time slot back to all off.
    void reset() { channels_.clear(); }

private:
    static bool valid(std::int32_t ts) { return ts >= 0 && ts < kTimeSlots; }

    std::map<std::int32_t, Channel> channels_;
};
