#pragma once
// TCP connector: the client flavour of the control connection service. It
// connects to a host and port with a non-blocking connect, hands the
// connection to the service and keeps trying while the service is active:
// seven quick retries 1000 ms apart from each activation, then one attempt per
// slow period of the failure kind, and a fresh attempt 10000 ms after an
// established connection ends.
//
// Ownership: the connector owns the socket of the attempt in progress and
// the connect event's duplicate of it; an established connection belongs to
// the protocol stack (Deactivate closes it without OnDisconnect()).
#include <cstdint>
#include <string>

#include "protocol/ConnectorBase.h"
#include "protocol/ControlService.h"
#include "runtime/Event.h"
#include "runtime/Timer.h"

namespace Control {

class ConnectorNet : public ConnectorBase<ConnectorNet, ServiceNet>
{
public:
    static const unsigned failed_retry_ms = 12000;    // socket error once connected

    ConnectorNet();
    // "a.b.c.d:port"; no port gives 0, a text that does not parse 0.0.0.0.
    explicit ConnectorNet(const std::string& address);
    ConnectorNet(const std::string& host, unsigned short port);

    // The address of every attempt: the stored port, then the host text (a
    // host text with a colon and a port overrides the port).
    INet4::Addr GetTarget() const;

protected:
    void OnSocketEvent(int fd, short events);
    void TryConnect();

private:
    friend class ConnectorBase<ConnectorNet, ServiceNet>;

    // Hands the attempt's socket to the service, which works on a duplicate.
    void Handover(const INet4::Addr& target);

    std::uint16_t port;   // network byte order
    std::string host;
    Fd socket;
    Timer retry_timer;
    Event connect_event;
    int budget = 0;
};

} // namespace Control
