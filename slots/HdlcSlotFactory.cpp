#include "slots/HdlcSlotFactory.h"

HdlcSlotFactory& HdlcSlotFactory::instance()
{
    static HdlcSlotFactory factory;
    return factory;
}

const char* HdlcSlotFactory::GetName() const
{
    return "HDLC";
}

Slot* HdlcSlotFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void HdlcSlotFactory::Query(LGCP::Resources&) {}

