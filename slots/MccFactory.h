#pragma once
// Factory of the HDLC controller channel slots, not built yet.
#include "slots/UnbuiltFactory.h"

class MccFactory : public UnbuiltFactory<MccFactory> {
    friend class UnbuiltFactory<MccFactory>;
    MccFactory() : UnbuiltFactory("MCC") {}
};
