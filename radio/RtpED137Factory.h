#pragma once
// Factory of the ED-137 radio gateway slots, not built yet.
#include "slots/UnbuiltFactory.h"

class RtpED137Factory : public UnbuiltFactory<RtpED137Factory> {
    friend class UnbuiltFactory<RtpED137Factory>;
    RtpED137Factory() : UnbuiltFactory("RtpED137") {}
};
