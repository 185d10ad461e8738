#include "slots/RtpFactory.h"

RtpFactory& RtpFactory::instance()
{
    static RtpFactory factory;
    return factory;
}

const char* RtpFactory::GetName() const
{
    return "RTP";
}

Slot* RtpFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void RtpFactory::Query(LGCP::Resources&) {}

