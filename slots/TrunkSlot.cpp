#include "slots/TrunkSlot.h"

TrunkSlot::TrunkSlot(const char* name, unsigned trunk, unsigned timeslot, int channel)
    : name_(name), trunk_(trunk), timeslot_(timeslot), channel_(channel)
{
}

int TrunkSlot::GetTrunk() { return static_cast<int>(trunk_); }
int TrunkSlot::GetTrunkTimeSlot() { return static_cast<int>(timeslot_); }
bool TrunkSlot::IOnOutputStream() { return true; }
bool TrunkSlot::IOnInputStream() { return true; }
int TrunkSlot::IGetTransmitChannel() { return channel_; }
int TrunkSlot::IGetReceiveChannel() { return channel_; }
const char* TrunkSlot::GetName() const { return name_; }
