#pragma once
// TCP acceptors: the listening flavours of the control connection service.
// They listen on one port, hand the first connection to the service and
// refuse (accept and close at once) every further one while it lasts.
//
// AcceptorNetCheckConnection adds a once-a-second health check of the live
// connection: it drops a connection that is no longer established or reports
// a socket error, and after a refused second connection it probes the live
// one with a fast keep-alive and drops it when its congestion state stays
// abnormal, so that the next attempt is accepted.
//
// Ownership: the acceptor owns its listening socket and (checking variant) a
// duplicate of the connection socket, closed when the connection ends so the
// peer sees the close.
#include <cstdint>

#include "protocol/AcceptorBase.h"
#include "protocol/ControlService.h"
#include "runtime/Event.h"
#include "runtime/Timer.h"

namespace Control {

class AcceptorNet : public AcceptorBase<AcceptorNet, ServiceNet>
{
public:
    using Peer = INet4::Addr;

    AcceptorNet() : AcceptorNet(0) {}
    explicit AcceptorNet(int port) : AcceptorNet(port, true) {}
    AcceptorNet(int port, bool verbose);

    // The port the listening socket is bound to (the given one, or the
    // system's choice for port 0); 0 when not listening.
    std::uint16_t GetBoundPort() const;

protected:
    bool ImplActivate() override;

private:
    friend class AcceptorBase<AcceptorNet, ServiceNet>;

    ListenResult Listen();
    Fd Accept(Peer& peer) { return AcceptConnection(listening.get(), peer); }

    std::uint16_t port;
    Fd listening;
    Timer bind_timer;
    AcceptPause accept_pause;
    Event listen_event;
};

class AcceptorNetCheckConnection : public AcceptorNet
{
public:
    struct CheckState
    {
        enum Type { Idle = 0, CheckConnection = 1 };
    };
    static const unsigned check_period_ms = 1000;

    AcceptorNetCheckConnection() : AcceptorNetCheckConnection(0) {}
    explicit AcceptorNetCheckConnection(int port) : AcceptorNetCheckConnection(port, true) {}
    AcceptorNetCheckConnection(int port, bool verbose) : AcceptorNet(port, verbose) {}

    CheckState::Type GetCheckState() const { return check_state; }
    int ConnectionSocketForTest() const { return connection.get(); }

protected:
    bool ImplActivate() override;
    void ImplDeactivate() override;
    void ImplRefuseConnection() override;
    void ImplConnected(Fd fd) override;
    void ImplConnectionClosed() override;

    void OnCheckConnectionTimeout(Timer*);
    void CheckConnection();
    void SetupKeepAlive(bool fast);

private:
    Timer check_timer;
    Fd connection;
    CheckState::Type check_state = CheckState::Idle;
    int countdown = 0;
};

} // namespace Control
