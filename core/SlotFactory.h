#pragma once
// Creator of one family of slot types. Constructing a factory links it at the
// head of the process-wide chain `firstFactory`; Slots walks the chain, newest
// first, to create slots, to fill the resource report and to pass trunk
// status signals on. Factories live as long as the process: they never leave
// the chain, so a factory must not be destroyed while the chain is walked.
//
// A factory lists the slots it made until they leave it (Slot::BeforeDestroy,
// Slot::on_release); it does not own them.
#include "asn1/modules/LGCP.h"
#include "core/Slot.h"
#include "runtime/F_dual_list.h"

class SlotFactory {
public:
    using SlotList = F_dual_list<Slot, SlotFactoryLink>;

    SlotFactory();
    SlotFactory(const SlotFactory&) = delete;
    SlotFactory& operator=(const SlotFactory&) = delete;
    // Forgets its slots; stays in the chain.
    virtual ~SlotFactory();

    // The name of the factory's slot family.
    virtual const char* GetName() const = 0;
    // A new slot when the alternative is this factory's and it can serve it;
    // null otherwise. May destroy an existing slot holding the same hardware.
    virtual Slot* INewSlot(const LGCP::CreateParams& params) = 0;
    // Adds the counts this factory knows of.
    virtual void Query(LGCP::Resources& resources) = 0;
    // Every `trunkStatus` signal.
    virtual void SelfSignal(const LGCP::Signal& signal);

    // INewSlot; a slot made is marked as this factory's and listed.
    Slot* NewSlot(const LGCP::CreateParams& params);
    // Unlists the slot; nothing when it is not listed.
    void Remove(Slot* slot);

    SlotFactory* GetNext() const { return next_; }
    const SlotList& GetSlots() const { return slots_; }

protected:
    SlotList& OwnSlots() { return slots_; }

private:
    SlotList slots_;
    SlotFactory* next_;
};

// The newest factory; null before the first is built.
extern SlotFactory* firstFactory;
