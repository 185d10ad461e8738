#pragma once
// A slot on the shared bus: its output is the bus channel it transmits from
// (TDM channel 8192 + bus * 128 + channel), its input the bus output it
// drives. Either may be absent. When destroyed it gives its bus output back
// to the bus by disabling it.
#include "core/Slot.h"

class MapSlot : public Slot {
public:
    // -1: no such channel.
    MapSlot(int transmitChannel, int receiveChannel);

    bool IBeforeDestroy() override;
    bool IOnOutputStream() override;
    bool IOnInputStream() override;
    int IGetTransmitChannel() override;
    int IGetReceiveChannel() override;
    const char* GetName() const override;

private:
    int transmit_;
    int receive_;
};
