#include "slots/EchoFactory.h"

EchoFactory& EchoFactory::instance()
{
    static EchoFactory factory;
    return factory;
}

const char* EchoFactory::GetName() const
{
    return "Echo";
}

Slot* EchoFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void EchoFactory::Query(LGCP::Resources&) {}

