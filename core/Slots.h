#pragma once
// The slot registry: owns every live slot under its id 0..1023 and is the
// control service for every command addressed to a slot, plus `query`. Slots
// are made by the factory chain (SlotFactory), joined and parted by the
// connection functions (SlotConnection.h) and deleted here, at once or when
// they report that their shut-down is done. Slots send their signals through
// this service, so the other bound services see them first.
//
// A destroy command whose slot finishes asynchronously is answered with a
// delayed success when the slot completes; a destruction that went pending
// any other way completes silently. When the controller is lost every slot is
// destroyed without answers and the process waits one second for the board.
#include <array>

#include "control/CtrlSrvService.h"
#include "core/Slot.h"
#include "runtime/F_dual_list.h"

class Slots : public CtrlSrv::Service {
public:
    static constexpr unsigned kSlots = CtrlSrv::Server::max_slot + 1;
    using SleepFunction = unsigned (*)(unsigned);

    static Slots& instance();

    Slots();
    // Forgets the live slots; deletes nothing.
    ~Slots() override;

    void OnConnect() override;
    // Destroys every slot, waits one second, deletes what is still pending.
    void OnDisconnect() override;
    // With a slot: connect, disconnect, create, destroy, activate,
    // deactivate, userData, ioctl. Without: query only.
    bool OnCommand(const LGCP::Command& command) override;
    // Passes `trunkStatus` to every factory, newest first.
    void OnSignal(const LGCP::Signal& signal) override;

    // Parts the slot from the graph and destroys it: true when it is deleted
    // now, false when its destruction is pending (on_release completes it).
    bool Destroy(Slot* slot);
    // Completes a pending destruction; reached through Slot::on_release.
    void on_release(Slot* slot);
    // Sends the `query` signal with every factory's resource counts.
    void UpdateHardwareResources();
    static bool CheckSlot(unsigned id) { return id < kSlots; }

    // The slot under id; null when free or out of range.
    Slot* Find(unsigned id) const { return CheckSlot(id) ? table_[id] : nullptr; }
    // Live slots, in creation order.
    const F_dual_list<Slot, SlotLiveLink>& GetLive() const { return live_; }

    // The one-second wait of a lost controller (::sleep by default).
    void SetSleepForTest(SleepFunction sleep) { sleep_ = sleep; }

private:
    void CreateCommand(unsigned id, const LGCP::CreateParams& params);
    void DestroyCommand(unsigned id);
    void ConnectCommand(unsigned id, unsigned target);
    // Parts the slot from its source and its receivers, hardware included.
    void Unlink(Slot* slot);
    // Unlinks and unlists the slot, clears its entry and deletes it.
    void Delete(Slot* slot);

    std::array<Slot*, kSlots> table_{};
    F_dual_list<Slot, SlotLiveLink> live_;
    // Slots whose destruction is pending while a lost controller is cleared.
    F_dual_list<Slot, SlotLiveLink> lost_;
    SleepFunction sleep_;
};
