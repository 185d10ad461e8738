#include "core/SlotFactory.h"

// Constant-initialised, so factories built during static initialisation of
// any translation unit find it set.
SlotFactory* firstFactory = nullptr;

SlotFactory::SlotFactory() : next_(firstFactory)
{
    firstFactory = this;
}

SlotFactory::~SlotFactory()
{
    while (Slot* slot = slots_.remove_from_head())
        slot->inFactoryList_ = false;
}

void SlotFactory::SelfSignal(const LGCP::Signal&) {}

Slot* SlotFactory::NewSlot(const LGCP::CreateParams& params)
{
    Slot* slot = INewSlot(params);
    if (slot == nullptr)
        return nullptr;
    slot->factory_ = this;
    slots_.push_back(slot);
    slot->inFactoryList_ = true;
    return slot;
}

void SlotFactory::Remove(Slot* slot)
{
    if (slot == nullptr || !slot->inFactoryList_ || slot->factory_ != this)
        return;
    slots_.remove(slot);
    slot->inFactoryList_ = false;
}
