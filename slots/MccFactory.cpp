#include "slots/MccFactory.h"

MccFactory& MccFactory::instance()
{
    static MccFactory factory;
    return factory;
}

const char* MccFactory::GetName() const
{
    return "MCC";
}

Slot* MccFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void MccFactory::Query(LGCP::Resources&) {}

