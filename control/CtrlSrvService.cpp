#include "control/CtrlSrvService.h"

#include <iostream>

#include "control/CtrlSrvServer.h"

namespace CtrlSrv {

bool Service::bound() const
{
    if (server != nullptr)
        return true;
    std::cerr << "CtrlSrv::Service error! service not connected to server." << std::endl;
    return false;
}

void Service::Success()
{
    if (bound())
        server->Success();
}

void Service::Error(LGCP::ErrorCause::NamedNumber cause)
{
    if (bound())
        server->Error(cause);
}

void Service::SendSignal(const LGCP::Signal& signal)
{
    if (!bound())
        return;
    server->OfferSignal(this, signal);
    server->SendSignal(signal);
}

void Service::SendSignal(unsigned slot, const LGCP::Signal& signal)
{
    if (!bound())
        return;
    server->OfferSignal(this, signal);
    server->SendSignal(slot, signal);
}

unsigned Service::GetSlot() const
{
    return bound() ? server->GetSlot() : Server::no_slot;
}

bool Service::IsSlotPresent() const
{
    return bound() && server->IsSlotPresent();
}

unsigned Service::delayResponse()
{
    return bound() ? server->delayResponse() : 0xFFFFFFFFu;
}

void Service::delayedSuccess(unsigned slot, unsigned seq)
{
    if (bound())
        server->delayedSuccess(slot, seq);
}

bool Service::CheckServerConnection(bool& connected) const
{
    return server != nullptr && server->CheckServerConnection(connected);
}

} // namespace CtrlSrv
