#include "slots/PstnFactory.h"

PstnFactory& PstnFactory::instance()
{
    static PstnFactory factory;
    return factory;
}

const char* PstnFactory::GetName() const
{
    return "PSTN";
}

Slot* PstnFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void PstnFactory::Query(LGCP::Resources&) {}

