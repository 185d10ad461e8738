#pragma once
// Unix-domain flavours of the control connection service: a listening
// service on a socket path and a client that connects to one. They behave
// like the TCP acceptor and connector, without TCP options; the connection
// name is a path, and the socket file is removed before binding.
//
// Ownership: the acceptor owns its listening socket (the socket file stays
// after deactivation); the connector owns the socket of its attempt and the
// connect event's duplicate of it. An established connection belongs to the
// protocol stack.
#include <string>

#include "protocol/AcceptorBase.h"
#include "protocol/ConnectorBase.h"
#include "protocol/ControlService.h"
#include "runtime/Event.h"
#include "runtime/Timer.h"

namespace Control {

class ServiceUnix : public Service
{
public:
    // Hands an established connection to the service (fd is the caller's
    // duplicate; the caller closes its own). Ignored while Deactivating.
    void Connected(Fd fd, const std::string& name);
};

class AcceptorUnix : public AcceptorBase<AcceptorUnix, ServiceUnix>
{
public:
    // The path the peer is bound to; empty for an unbound one.
    using Peer = std::string;

    AcceptorUnix() : AcceptorUnix(std::string()) {}
    explicit AcceptorUnix(const std::string& path);

    bool IsListening() const { return listen_event.IsActive(); }

protected:
    bool ImplActivate() override;

private:
    friend class AcceptorBase<AcceptorUnix, ServiceUnix>;

    ListenResult Listen();
    Fd Accept(Peer& peer);

    std::string path;
    Fd listening;
    Timer bind_timer;
    AcceptPause accept_pause;
    Event listen_event;
};

class ConnectorUnix : public ConnectorBase<ConnectorUnix, ServiceUnix>
{
public:
    ConnectorUnix() : ConnectorUnix(std::string(), std::string()) {}
    explicit ConnectorUnix(const std::string& path) : ConnectorUnix(path, std::string()) {}
    // local: the path the client socket is bound to (none when empty).
    ConnectorUnix(const std::string& path, const std::string& local);

protected:
    void OnSocketEvent(int fd, short events);
    void TryConnect();

private:
    friend class ConnectorBase<ConnectorUnix, ServiceUnix>;

    std::string server_path;
    std::string local_path;
    Fd socket;
    Timer retry_timer;
    Event connect_event;
    int budget = 0;
};

} // namespace Control
