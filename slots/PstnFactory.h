#pragma once
// Factory of the PSTN signalling link (SS7, ISDN, CAS) slots, not built yet.
#include "slots/UnbuiltFactory.h"

class PstnFactory : public UnbuiltFactory<PstnFactory> {
    friend class UnbuiltFactory<PstnFactory>;
    PstnFactory() : UnbuiltFactory("PSTN") {}
};
