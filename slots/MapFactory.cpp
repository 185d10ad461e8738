#include "slots/MapFactory.h"

#include "board/HalRecords.h"
#include "core/Slots.h"
#include "slots/MapSlot.h"

MapFactory& MapFactory::instance()
{
    static MapFactory factory;
    return factory;
}

int MapFactory::BusChannel(const LGCP::SharedChannel& channel)
{
    return Hal::kBusBase + static_cast<int>(channel.get_bus().getValue() * Hal::kBusChannels + channel.get_channel().getValue());
}

const char* MapFactory::GetName() const
{
    return "Map";
}

Slot* MapFactory::INewSlot(const LGCP::CreateParams& params)
{
    if (params.currentSelection() != LGCP::CreateParams::map_chosen)
        return nullptr;
    return AllocateMapSlot(params.get_map());
}

void MapFactory::Query(LGCP::Resources&) {}

Slot* MapFactory::AllocateMapSlot(const LGCP::MapParams& params)
{
    const int transmit = params.has_transmitter() ? BusChannel(params.get_transmitter()) : -1;
    const int receive = params.has_receiver() ? BusChannel(params.get_receiver()) : -1;
    if (transmit < 0 && receive < 0)
        return nullptr;
    if (receive >= 0) {
        for (Slot& slot : OwnSlots()) {
            if (slot.IGetReceiveChannel() == receive) {
                Slots::instance().Destroy(&slot);
                break;
            }
        }
    }
    return new MapSlot(transmit, receive);
}
