#pragma once
// A control connection: one byte-stream connection to a remote peer, every
// message framed with TPKT, reported to one user (Control::Notify).
//
// The service owns its protocol stack (StrmProtocol at the bottom, TPKT on
// top), the connection state machine, the close path and the send rules; the
// subclasses (acceptors, connectors) only open, accept, connect, retry and
// close sockets. The service does not own its user.
//
// The close of a connection is reported to the user from the loop's
// deferred-call phase, never from inside the stack's own deactivation;
// meanwhile the state is Deactivating: sends and received frames are dropped
// and a new connection is ignored.
#include <string>

#include "protocol/Protocol.h"
#include "runtime/Dpc.h"
#include "runtime/Fd.h"
#include "runtime/INet4Addr.h"
#include "runtime/Measure.h"

class StrmProtocol;

namespace Control {

class Notify
{
public:
    virtual ~Notify() = default;
    // Once per connection, after the stack is active.
    virtual void OnConnect() = 0;
    // Once per connection, from the deferred call.
    virtual void OnDisconnect() = 0;
    // Once per TPKT payload; the bytes are valid only during the call.
    virtual void OnMessage(const char* data, int length) = 0;
};

class Service : private ProtocolsFamily
{
public:
    struct State
    {
        enum Type { Idle = 0, Connecting = 1, Deactivating = 2, Connected = 3 };
    };

    Service();
    // Tells the user nothing; the stream layer closes its socket.
    ~Service() override;

    // Deactivate(), then open the transport (listen or start connecting).
    // False, and Idle, when that fails.
    bool Activate();
    // Closes what Activate opened; a live connection stays with the stack.
    void Deactivate();
    // Closes the connection, when there is one.
    void Disconnect();
    // Frames and writes one message; the write blocks for at most 1000 ms.
    // Dropped unless connected; a message above 65531 bytes is refused.
    void Send(const char* data, int length);

    void Bind(Notify* notify) { user = notify; }
    void UnBind() { user = nullptr; }

    // Label shown in the stream layer's log lines ("SockStream[label]: ").
    const std::string& service_name() const;
    void service_name(const std::string& label);

    const Measure& get_read_measure() const;
    const Measure& get_write_measure() const;
    unsigned GetOverflowCounter() const;
    // Stops watching and closes the connection socket.
    void Release();

    State::Type GetState() const { return state; }
    // The peer's text ("a.b.c.d:port" for TCP), set on every new connection.
    const std::string& GetConnectionName() const { return connection_name; }

    static const unsigned max_message = 65531;

protected:
    virtual bool ImplActivate() = 0;
    virtual void ImplDeactivate() = 0;
    // The end of a connection was reported (from the deferred call).
    virtual void ImplOnDisconnect() = 0;
    // The connection has just closed (from inside the close path).
    virtual void ImplConnectionClosed() {}

    // Takes an established connection (fd is the caller's duplicate):
    // name, state Connected, stack up, OnConnect(). Ignored while
    // Deactivating.
    void Connected(Fd fd, const std::string& name);

    bool verbose = true;

private:
    void on_message(Packet& p) override;
    void on_activated(Protocol*) override {}
    void on_deactivated(Protocol* layer, Protocol_status s) override;
    void OnDeactivateDPC();
    // Every change of state goes through here.
    void enter(State::Type next);

    std::string connection_name;
    State::Type state = State::Idle;
    // A dropped send was reported since the last change of state.
    bool dropReported = false;
    Notify* user = nullptr;
    StrmProtocol* stream;
    Dpc deactivation;
};

// "Idle", "Connecting", "Deactivating", "Connected"; "Unknown" otherwise.
const char* GetTextNotation(Service::State::Type state);

// The text of errno, for the transports' failure lines.
const char* error_text();

// The TCP flavour.
class ServiceNet : public Service
{
public:
    // Hands an established TCP connection to the service (fd is the
    // caller's duplicate; the caller closes its own).
    void Connected(Fd fd, const INet4::Addr& address);
};

} // namespace Control
