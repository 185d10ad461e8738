#pragma once
// Factory of the HDLC package slots, not built yet.
#include "slots/UnbuiltFactory.h"

class HdlcSlotFactory : public UnbuiltFactory<HdlcSlotFactory> {
    friend class UnbuiltFactory<HdlcSlotFactory>;
    HdlcSlotFactory() : UnbuiltFactory("HDLC") {}
};
