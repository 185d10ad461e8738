#pragma once
// Factory of the LEMZ radio gateway slots, not built yet.
#include "slots/UnbuiltFactory.h"

class RtpLEMZFactory : public UnbuiltFactory<RtpLEMZFactory> {
    friend class UnbuiltFactory<RtpLEMZFactory>;
    RtpLEMZFactory() : UnbuiltFactory("RtpLEMZ") {}
};
