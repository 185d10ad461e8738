#pragma once
// Factory of the voice recorder and player slots, not built yet.
#include "slots/UnbuiltFactory.h"

class VoiceFactory : public UnbuiltFactory<VoiceFactory> {
    friend class UnbuiltFactory<VoiceFactory>;
    VoiceFactory() : UnbuiltFactory("Voice") {}
};
