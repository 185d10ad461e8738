#pragma once
// Factories of trunk channel slots: one per E1 trunk (`trunk` alternative,
// 32 time slots) and one per BRI trunk (`trunk-bri`, 4 channels). The time
// slot t of a trunk is TDM channel first + t. A create for a time slot that
// a slot already holds destroys that slot first.
//
// The twelve factories are global objects built during static
// initialisation, E1 trunks 0..3 and then BRI trunks 0..7, so they are the
// oldest of the chain and are asked last.
#include "asn1/modules/ACP.h"
#include "board/E1Records.h"
#include "board/SpiRecords.h"
#include "core/SlotFactory.h"

class TrunkFactory : public SlotFactory {
public:
    static constexpr unsigned kChannels = E1::kTimeSlots;

    // E1 trunk `trunk` whose time slot 0 is TDM channel `firstChannel`.
    TrunkFactory(unsigned trunk, unsigned firstChannel);

    const char* GetName() const override;
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    void Query(LGCP::Resources& resources) override;
    // A `trunkStatus` of this trunk goes to each of its slots.
    void SelfSignal(const LGCP::Signal& signal) override;

    unsigned GetTrunkNumber() const { return trunk_; }
    unsigned GetFirstChannel() const { return first_; }

protected:
    TrunkFactory(unsigned trunk, unsigned firstChannel, unsigned channels,
                 LGCP::CreateParams::Choices alternative, ACP::TrunkType::NamedNumber type,
                 const char* slotName);

private:
    unsigned trunk_;
    unsigned first_;
    unsigned channels_;
    LGCP::CreateParams::Choices alternative_;
    ACP::TrunkType::NamedNumber type_;
    const char* slotName_;
};

class TrunkBRIFactory : public TrunkFactory {
public:
    static constexpr unsigned kChannels = 4;

    TrunkBRIFactory(unsigned trunk, unsigned firstChannel);

    const char* GetName() const override;
};

extern TrunkFactory e1TrunkFactories[E1::kTrunks];
extern TrunkBRIFactory briTrunkFactories[Spi::kChannels];
