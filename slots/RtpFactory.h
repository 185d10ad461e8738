#pragma once
// Factory of the RTP stream slots, not built yet.
#include "slots/UnbuiltFactory.h"

class RtpFactory : public UnbuiltFactory<RtpFactory> {
    friend class UnbuiltFactory<RtpFactory>;
    RtpFactory() : UnbuiltFactory("RTP") {}
};
