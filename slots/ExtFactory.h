#pragma once
// Factory of the extension board channel slots, not built yet.
#include "slots/UnbuiltFactory.h"

class ExtFactory : public UnbuiltFactory<ExtFactory> {
    friend class UnbuiltFactory<ExtFactory>;
    ExtFactory() : UnbuiltFactory("Ext") {}
};
