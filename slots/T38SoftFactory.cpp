#include "slots/T38SoftFactory.h"

T38SoftFactory& T38SoftFactory::instance()
{
    static T38SoftFactory factory;
    return factory;
}

const char* T38SoftFactory::GetName() const
{
    return "T38Soft";
}

Slot* T38SoftFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void T38SoftFactory::Query(LGCP::Resources&) {}

