#pragma once
// One time slot of a trunk as a slot: its TDM channel is both the slot's
// output and its input, and both streams are always available.
#include "core/Slot.h"

class TrunkSlot : public Slot {
public:
    // name: the slot type's name in logs; channel: the time slot's TDM channel.
    TrunkSlot(const char* name, unsigned trunk, unsigned timeslot, int channel);

    int GetTrunk() override;
    int GetTrunkTimeSlot() override;
    bool IOnOutputStream() override;
    bool IOnInputStream() override;
    int IGetTransmitChannel() override;
    int IGetReceiveChannel() override;
    const char* GetName() const override;

private:
    const char* name_;
    unsigned trunk_;
    unsigned timeslot_;
    int channel_;
};
