#include "slots/MixerFactory.h"

namespace Mixer {

MixerFactory& MixerFactory::instance()
{
    static MixerFactory factory;
    return factory;
}

const char* MixerFactory::GetName() const
{
    return "Mixer";
}

Slot* MixerFactory::INewSlot(const LGCP::CreateParams&)
{
    return nullptr;
}

void MixerFactory::Query(LGCP::Resources&) {}

} // namespace Mixer
