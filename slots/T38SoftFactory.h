#pragma once
// Factory of the software T.38 fax slots.
// Their slot type comes with its own subsystem; until then the factory holds
// its place in the chain and makes no slot.
#include "core/SlotFactory.h"

class T38SoftFactory : public SlotFactory {
public:
    // Built on the first call; lives as long as the process.
    static T38SoftFactory& instance();

    const char* GetName() const override;
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources& resources) override;

private:
    T38SoftFactory() = default;
};

