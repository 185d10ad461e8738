#pragma once
// The per-endpoint half of the tone receiver service on "/dev/dtmf": a base of
// every slot that listens for tones on a TDM time slot or plays them into it.
// The service hands each detection event to the receiver of its time slot.
#include <cstdint>

namespace Hardware {

class TonecReceiver {
public:
    // One detection event as the driver reports it.
    struct Params {
        std::int32_t code = 0;
        std::int32_t timestamp = 0;
    };

    virtual ~TonecReceiver() = default;

    virtual void tonec_event(const Params& params) = 0;
    // The time slot the receiver listens on and plays into.
    virtual int tonec_timeslot() const = 0;
    // A DSP tone sequence has finished.
    virtual void tone_gen_complete() {}
};

} // namespace Hardware
