#include "slots/VoiceFactory.h"

VoiceFactory& VoiceFactory::instance()
{
    static VoiceFactory factory;
    return factory;
}

const char* VoiceFactory::GetName() const
{
    return "Voice";
}

Slot* VoiceFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void VoiceFactory::Query(LGCP::Resources&) {}

