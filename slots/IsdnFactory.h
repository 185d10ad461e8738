#pragma once
// Factory of the ISDN D channel slots, not built yet.
#include "slots/UnbuiltFactory.h"

class IsdnFactory : public UnbuiltFactory<IsdnFactory> {
    friend class UnbuiltFactory<IsdnFactory>;
    IsdnFactory() : UnbuiltFactory("ISDN") {}
};
