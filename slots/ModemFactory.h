#pragma once
// Factory of the modem slots, not built yet.
#include "slots/UnbuiltFactory.h"

class ModemFactory : public UnbuiltFactory<ModemFactory> {
    friend class UnbuiltFactory<ModemFactory>;
    ModemFactory() : UnbuiltFactory("Modem") {}
};
