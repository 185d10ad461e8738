#pragma once
// Factory of the software T.38 fax slots, not built yet.
#include "slots/UnbuiltFactory.h"

class T38SoftFactory : public UnbuiltFactory<T38SoftFactory> {
    friend class UnbuiltFactory<T38SoftFactory>;
    T38SoftFactory() : UnbuiltFactory("T38Soft") {}
};
