#include "radio/RtpED137Factory.h"

RtpED137Factory& RtpED137Factory::instance()
{
    static RtpED137Factory factory;
    return factory;
}

const char* RtpED137Factory::GetName() const
{
    return "RtpED137";
}

Slot* RtpED137Factory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void RtpED137Factory::Query(LGCP::Resources&) {}

