#include "slots/IsdnFactory.h"

IsdnFactory& IsdnFactory::instance()
{
    static IsdnFactory factory;
    return factory;
}

const char* IsdnFactory::GetName() const
{
    return "ISDN";
}

Slot* IsdnFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void IsdnFactory::Query(LGCP::Resources&) {}

