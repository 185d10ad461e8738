#include "slots/MapSlot.h"

#include "hardware/HwMux.h"

MapSlot::MapSlot(int transmitChannel, int receiveChannel) : transmit_(transmitChannel), receive_(receiveChannel) {}

bool MapSlot::IBeforeDestroy()
{
    // A bus output left driven would block whatever else drives that channel.
    if (receive_ >= 0)
        HwMux::instance().Disable(receive_);
    return true;
}

bool MapSlot::IOnOutputStream() { return transmit_ >= 0; }
bool MapSlot::IOnInputStream() { return receive_ >= 0; }
int MapSlot::IGetTransmitChannel() { return transmit_; }
int MapSlot::IGetReceiveChannel() { return receive_; }
const char* MapSlot::GetName() const { return "map"; }
