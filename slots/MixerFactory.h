#pragma once
// Factory of the mixer input and output slots, not built yet.
#include "slots/UnbuiltFactory.h"

namespace Mixer {

class MixerFactory : public UnbuiltFactory<MixerFactory> {
    friend class UnbuiltFactory<MixerFactory>;
    MixerFactory() : UnbuiltFactory("Mixer") {}
};

} // namespace Mixer
