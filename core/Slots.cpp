#include "core/Slots.h"

#include <unistd.h>

#include <iostream>

#include "core/SlotConnection.h"
#include "core/SlotFactory.h"

Slots& Slots::instance()
{
    static Slots slots;
    return slots;
}

Slots::Slots() : sleep_(&::sleep) {}

Slots::~Slots()
{
    while (live_.remove_from_head() != nullptr) {
    }
}

void Slots::OnConnect() {}

void Slots::OnDisconnect()
{
    while (Slot* slot = live_.first()) {
        if (!slot->destroying_ && Destroy(slot))
            continue;
        live_.remove(slot);
        lost_.push_back(slot);
        slot->lost_ = true;
        // Nobody is left to answer.
        slot->destroyAnswerPending_ = false;
    }
    // The board finishes what the pending slots started; no loop turn runs
    // meanwhile, so none of them can complete.
    sleep_(1);
    while (Slot* slot = lost_.first()) {
        // Deleted without its own on_release: its factory must forget it too.
        if (slot->factory_ != nullptr)
            slot->factory_->Remove(slot);
        Delete(slot);
    }
}

bool Slots::OnCommand(const LGCP::Command& command)
{
    if (!IsSlotPresent()) {
        if (command.currentSelection() != LGCP::Command::query_chosen)
            return false;
        Success();
        UpdateHardwareResources();
        return true;
    }

    const unsigned id = GetSlot();
    Slot* slot = Find(id);
    // A command on an existing slot: success, or `failure` when it says no.
    auto onSlot = [this, slot](auto run, LGCP::ErrorCause::NamedNumber failure) {
        if (slot == nullptr)
            Error(LGCP::ErrorCause::slotNotExists);
        else if (run(*slot))
            Success();
        else
            Error(failure);
        return true;
    };
    switch (command.currentSelection()) {
    case LGCP::Command::connect_chosen:
        ConnectCommand(id, command.get_connect().getValue());
        return true;
    case LGCP::Command::disconnect_chosen:
        return onSlot([](Slot& s) { return Disconnect(s); }, LGCP::ErrorCause::disconnectFail);
    case LGCP::Command::create_chosen:
        CreateCommand(id, command.get_create());
        return true;
    case LGCP::Command::destroy_chosen:
        DestroyCommand(id);
        return true;
    case LGCP::Command::activate_chosen:
        return onSlot([&](Slot& s) { return s.IActivate(command.get_activate()); }, LGCP::ErrorCause::unsupported);
    case LGCP::Command::deactivate_chosen:
        return onSlot([](Slot& s) { return s.IDeactivate(); }, LGCP::ErrorCause::unsupported);
    case LGCP::Command::userData_chosen:
        return onSlot([&](Slot& s) { return s.IUserData(command.get_userData()); }, LGCP::ErrorCause::unsupported);
    case LGCP::Command::ioctl_chosen:
        return onSlot([&](Slot& s) { return s.Ioctl(command.get_ioctl()); }, LGCP::ErrorCause::unsupported);
    default:
        return false;
    }
}

void Slots::ConnectCommand(unsigned id, unsigned target)
{
    if (!CheckSlot(target)) {
        Error(LGCP::ErrorCause::invalidSlot);
        return;
    }
    Slot* slot = Find(id);
    Slot* receiver = Find(target);
    if (slot == nullptr || receiver == nullptr)
        Error(LGCP::ErrorCause::slotNotExists);
    else if (Connect(*slot, *receiver))
        Success();
    else
        Error(LGCP::ErrorCause::connectFail);
}

void Slots::CreateCommand(unsigned id, const LGCP::CreateParams& params)
{
    if (Slot* old = table_[id]) {
        if (old->destroying_) {
            Error(LGCP::ErrorCause::destroyInProgress);
            return;
        }
        Destroy(old);
        if (table_[id] != nullptr) {
            Error(LGCP::ErrorCause::slotIdBusy);
            return;
        }
    }
    for (SlotFactory* factory = firstFactory; factory != nullptr; factory = factory->GetNext()) {
        Slot* slot = factory->NewSlot(params);
        if (slot == nullptr)
            continue;
        slot->id_ = id;
        live_.push_back(slot);
        table_[id] = slot;
        Success();
        slot->IAfterCreate();
        return;
    }
    Error(LGCP::ErrorCause::insufficientResources);
}

void Slots::DestroyCommand(unsigned id)
{
    Slot* slot = table_[id];
    if (slot == nullptr) {
        Error(LGCP::ErrorCause::slotNotExists);
    } else if (slot->destroying_) {
        Error(LGCP::ErrorCause::destroyInProgress);
    } else if (Destroy(slot)) {
        Success();
    } else {
        slot->destroySeq_ = delayResponse();
        slot->destroyAnswerPending_ = true;
    }
}

bool Slots::Destroy(Slot* slot)
{
    // Already under way: it completes through on_release.
    if (slot->destroying_)
        return false;
    Unlink(slot);
    slot->destroying_ = true;

    // A slot may report completion from inside its own hook; it is deleted
    // only once the hook has returned.
    slot->inDestroyHook_ = true;
    const bool now = slot->BeforeDestroy();
    slot->inDestroyHook_ = false;
    if (!now && !slot->releasedInHook_)
        return false;
    if (!now && slot->factory_ != nullptr)
        slot->factory_->Remove(slot);
    Delete(slot);
    return true;
}

void Slots::on_release(Slot* slot)
{
    if (slot->inDestroyHook_) {
        slot->releasedInHook_ = true;
        return;
    }
    if (slot->destroyAnswerPending_)
        delayedSuccess(slot->id_, slot->destroySeq_);
    Delete(slot);
}

void Slots::Unlink(Slot* slot)
{
    Disconnect(*slot);
    slot->DisconnectReceivers("mux internal error: expected slots not exists.");
    if (!slot->receivers_.empty())
        std::cerr << "mux internal error: unexpected slots exists." << std::endl;
}

void Slots::Delete(Slot* slot)
{
    // A pending slot stays reachable by connect and may have been linked
    // again since Destroy parted it; nobody may keep pointing at it.
    Unlink(slot);
    if (slot->lost_)
        lost_.remove(slot);
    else
        live_.remove(slot);
    if (CheckSlot(slot->id_) && table_[slot->id_] == slot)
        table_[slot->id_] = nullptr;
    delete slot;
}

void Slots::UpdateHardwareResources()
{
    LGCP::Resources resources;
    resources.set_boardMajor(0);
    resources.set_boardMinor(0);
    resources.remove_drvVersion();
    resources.set_rtp_g729(0);
    resources.set_rtp_g723(0);
    resources.set_rtp_g711(0);
    resources.set_rtp_g711mcc(0);
    resources.set_modem(0);
    resources.set_mux(true);
    resources.set_mcc_data(0);
    resources.set_mcc_bri(0);
    resources.set_mcc_trans(0);
    resources.set_t38_instances(0);
    resources.set_digital_modems(0);
    resources.set_lin16(0);
    resources.set_universal(0);
    for (SlotFactory* factory = firstFactory; factory != nullptr; factory = factory->GetNext())
        factory->Query(resources);
    LGCP::Signal signal;
    signal.set_query(resources);
    SendSignal(signal);
}

void Slots::OnSignal(const LGCP::Signal& signal)
{
    if (signal.currentSelection() != LGCP::Signal::trunkStatus_chosen)
        return;
    for (SlotFactory* factory = firstFactory; factory != nullptr; factory = factory->GetNext())
        factory->SelfSignal(signal);
}
