#pragma once
// Base of every control service bound to the control server. A service hears
// the controller connect and disconnect, is offered each command, hears the
// signals the other bound services send, and answers through the operations
// below, which forward to its server.
//
// Services are process-lifetime objects, bound once and never unbound; the
// service does not own its server.
#include <ostream>

#include "asn1/modules/LGCP.h"

namespace CtrlSrv {

class Server;

class Service
{
public:
    Service() = default;
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;
    virtual ~Service() = default;

    virtual void OnConnect() = 0;
    virtual void OnDisconnect() = 0;
    // True: the service takes the command and answers it, now or later
    // (Success, Error or delayResponse). False passes it on.
    virtual bool OnCommand(const LGCP::Command& command) = 0;
    // Every signal another bound service sends, before it goes out.
    virtual void OnSignal(const LGCP::Signal&) {}

    // Unbound, each of these writes "CtrlSrv::Service error! service not
    // connected to server." on std::cerr and does nothing.
    void Success();
    void Error(LGCP::ErrorCause::NamedNumber cause);
    // Offered to every other bound service first, then sent.
    void SendSignal(const LGCP::Signal& signal);
    void SendSignal(unsigned slot, const LGCP::Signal& signal);
    // The current request's slot; all ones when it names none (or unbound).
    unsigned GetSlot() const;
    bool IsSlotPresent() const;
    // Marks the current request answered later; returns the seq to answer
    // it with (all ones when unbound).
    unsigned delayResponse();
    void delayedSuccess(unsigned slot, unsigned seq);
    // False, silently, when unbound or the server has no transport.
    bool CheckServerConnection(bool& connected) const;

    Server* GetServer() const { return server; }

private:
    friend class Server;
    bool bound() const;

    Server* server = nullptr;
};

} // namespace CtrlSrv
