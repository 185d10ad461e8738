#include "core/SlotConnection.h"

#include <iostream>

#include "core/Slot.h"
#include "hardware/HwMux.h"

bool llConnect(Slot& src, Slot& dst)
{
    if (src.GetConnectionPriority() > dst.GetConnectionPriority())
        return src.IHwConnectTransmitter(dst);
    return dst.IHwConnectReceiver(src);
}

bool llDisconnect(Slot& dst)
{
    Slot* source = dst.GetSource();
    if (source == nullptr)
        return false;
    if (dst.GetConnectionPriority() > source->GetConnectionPriority())
        return dst.IHwDisconnectReceiver(*source);
    return source->IHwDisconnectTransmitter(dst);
}

bool MuxConnect(Slot& src, Slot& dst)
{
    const int tx = src.IGetTransmitChannel();
    const int rx = dst.IGetReceiveChannel();
    if (!HwMux::instance().Connect(tx, rx))
        return false;
    std::clog << "mux: slot " << src << " [" << tx << "] -> " << dst << " [" << rx << "]" << std::endl;
    return true;
}

bool MuxDisconnect(Slot& slot)
{
    const int rx = slot.IGetReceiveChannel();
    if (!HwMux::instance().Disconnect(rx))
        return false;
    std::clog << "mux: disconnect slot " << slot << " [" << rx << "]" << std::endl;
    return true;
}

bool Connect(Slot& src, Slot& dst)
{
    if (dst.GetSource() == &src)
        return true;
    const bool tookOutput = src.GetReceivers().empty();
    if (tookOutput) {
        if (!src.IOnOutputStream()) {
            std::cerr << "slot " << src << " don't have output stream to " << dst << std::endl;
            return false;
        }
        src.OnChangeOutputStream(true);
    }
    Slot* old = dst.GetSource();
    if (old == nullptr) {
        if (!dst.IOnInputStream()) {
            std::cerr << "slot " << dst << " don't have input stream from " << src << std::endl;
            // The output taken just above serves nobody: give it back.
            if (tookOutput)
                src.IOnOutputRelease();
            return false;
        }
        dst.OnChangeInputStream(true);
    } else {
        llDisconnect(dst);
    }
    if (!llConnect(src, dst)) {
        // The old source's hardware link is gone already: drop its logical
        // link too, so that connecting that pair again relinks the hardware.
        if (old != nullptr)
            dst.LogicalDisconnect();
        dst.IOnInputRelease();
        if (old != nullptr && old->GetReceivers().empty())
            old->IOnOutputRelease();
        if (tookOutput)
            src.IOnOutputRelease();
        return false;
    }
    if (old != nullptr) {
        dst.LogicalDisconnect();
        if (old->GetReceivers().empty())
            old->IOnOutputRelease();
    }
    dst.LogicalConnect(src);
    return true;
}

bool Disconnect(Slot& dst)
{
    Slot* old = dst.GetSource();
    if (old == nullptr)
        return true;
    const bool result = llDisconnect(dst);
    dst.LogicalDisconnect();
    dst.IOnInputRelease();
    if (old->GetReceivers().empty())
        old->IOnOutputRelease();
    return result;
}
