#include "slots/ExtFactory.h"

ExtFactory& ExtFactory::instance()
{
    static ExtFactory factory;
    return factory;
}

const char* ExtFactory::GetName() const
{
    return "Ext";
}

Slot* ExtFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void ExtFactory::Query(LGCP::Resources&) {}

