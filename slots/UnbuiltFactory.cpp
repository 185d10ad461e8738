#include "slots/UnbuiltFactory.h"

Slot* UnbuiltFactoryBase::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void UnbuiltFactoryBase::Query(LGCP::Resources&) {}
