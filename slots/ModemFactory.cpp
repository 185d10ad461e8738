#include "slots/ModemFactory.h"

ModemFactory& ModemFactory::instance()
{
    static ModemFactory factory;
    return factory;
}

const char* ModemFactory::GetName() const
{
    return "Modem";
}

Slot* ModemFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void ModemFactory::Query(LGCP::Resources&) {}

