#pragma once
// Factory of the shared-bus map slots (`map` alternative). A bus output is
// driven by at most one map slot: a create for an output that a map slot
// already drives destroys that slot first.
#include "core/SlotFactory.h"

class MapFactory : public SlotFactory {
public:
    // Built on the first call; lives as long as the process.
    static MapFactory& instance();

    // Shared-bus channel 8192 + bus * 128 + channel.
    static int BusChannel(const LGCP::SharedChannel& channel);

    const char* GetName() const override;
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources& resources) override;

    // Null when the map names neither a transmitter nor a receiver.
    Slot* AllocateMapSlot(const LGCP::MapParams& params);

private:
    MapFactory() = default;
};
