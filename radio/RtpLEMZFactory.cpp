#include "radio/RtpLEMZFactory.h"

RtpLEMZFactory& RtpLEMZFactory::instance()
{
    static RtpLEMZFactory factory;
    return factory;
}

const char* RtpLEMZFactory::GetName() const
{
    return "RtpLEMZ";
}

Slot* RtpLEMZFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void RtpLEMZFactory::Query(LGCP::Resources&) {}

