#pragma once
// Factory of the echo canceller slots, not built yet.
#include "slots/UnbuiltFactory.h"

class EchoFactory : public UnbuiltFactory<EchoFactory> {
    friend class UnbuiltFactory<EchoFactory>;
    EchoFactory() : UnbuiltFactory("Echo") {}
};
