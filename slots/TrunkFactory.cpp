#include "slots/TrunkFactory.h"

#include "core/Slots.h"
#include "slots/TrunkSlot.h"

// One translation unit, so that the E1 factories are built before the BRI ones.
TrunkFactory e1TrunkFactories[E1::kTrunks] = {{0, 0}, {1, 32}, {2, 64}, {3, 96}};
TrunkBRIFactory briTrunkFactories[Spi::kChannels] = {{0, 0}, {1, 4}, {2, 8}, {3, 12}, {4, 16}, {5, 20}, {6, 24}, {7, 28}};

TrunkFactory::TrunkFactory(unsigned trunk, unsigned firstChannel)
    : TrunkFactory(trunk, firstChannel, kChannels, LGCP::CreateParams::trunk_chosen, ACP::TrunkType::e1, "trunk")
{
}

TrunkFactory::TrunkFactory(unsigned trunk, unsigned firstChannel, unsigned channels,
                           LGCP::CreateParams::Choices alternative, ACP::TrunkType::NamedNumber type,
                           const char* slotName)
    : trunk_(trunk), first_(firstChannel), channels_(channels), alternative_(alternative), type_(type),
      slotName_(slotName)
{
}

const char* TrunkFactory::GetName() const
{
    return "Trunks";
}

Slot* TrunkFactory::INewSlot(const LGCP::CreateParams& params)
{
    if (params.currentSelection() != alternative_)
        return nullptr;
    const LGCP::TrunkParams& trunk = alternative_ == LGCP::CreateParams::trunk_chosen ? params.get_trunk()
                                                                                     : params.get_trunk_bri();
    const unsigned number = trunk.get_trunk().getValue();
    const unsigned timeslot = trunk.get_timeslot().getValue();
    if (number != trunk_ || timeslot >= channels_)
        return nullptr;
    // The time slot is taken over from whichever slot holds it.
    for (Slot& slot : OwnSlots()) {
        if (slot.GetTrunkTimeSlot() == static_cast<int>(timeslot)) {
            Slots::instance().Destroy(&slot);
            break;
        }
    }
    return new TrunkSlot(slotName_, trunk_, timeslot, static_cast<int>(first_ + timeslot));
}

void TrunkFactory::Query(LGCP::Resources&) {}

void TrunkFactory::SelfSignal(const LGCP::Signal& signal)
{
    if (signal.currentSelection() != LGCP::Signal::trunkStatus_chosen)
        return;
    const ACP::TrunkStatus& status = signal.get_trunkStatus();
    if (status.get_type().getValue() != type_ || status.get_trunk().getValue() != static_cast<int>(trunk_))
        return;
    const ACP::TrunkState::NamedNumber state = status.get_state().getValue();
    // A slot may leave the list from its handler: step on first.
    for (SlotList::iterator it = OwnSlots().begin(); it != OwnSlots().end();) {
        Slot& slot = *it++;
        slot.OnTrunkStatus(trunk_, state);
    }
}

TrunkBRIFactory::TrunkBRIFactory(unsigned trunk, unsigned firstChannel)
    : TrunkFactory(trunk, firstChannel, kChannels, LGCP::CreateParams::trunk_bri_chosen, ACP::TrunkType::bri,
                   "trunk-bri")
{
}

const char* TrunkBRIFactory::GetName() const
{
    return "TrunksBRI";
}
