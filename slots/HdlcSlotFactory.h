#pragma once
// Factory of the HDLC package slots.
// Their slot type comes with its own subsystem; until then the factory holds
// its place in the chain and makes no slot.
#include "core/SlotFactory.h"

class HdlcSlotFactory : public SlotFactory {
public:
    // Built on the first call; lives as long as the process.
    static HdlcSlotFactory& instance();

    const char* GetName() const override;
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources& resources) override;

private:
    HdlcSlotFactory() = default;
};

