#include "protocol/ControlService.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>
#include <utility>

#include "protocol/StrmProtocol.h"
#include "protocol/Tpkt_protocol.h"
#include "runtime/Multiplexer.h"
#include "runtime/Profile.h"

namespace Control {

const char* GetTextNotation(Service::State::Type state)
{
    switch (state) {
    case Service::State::Idle:
        return "Idle";
    case Service::State::Connecting:
        return "Connecting";
    case Service::State::Deactivating:
        return "Deactivating";
    case Service::State::Connected:
        return "Connected";
    }
    return "Unknown";
}

const char* error_text()
{
    return std::strerror(errno);
}

Service::Service()
{
    stream = new StrmProtocol;
    add_protocol_tail(stream);
    add_protocol_tail(new Tpkt_protocol);
    deactivation.Bind(this, &Service::OnDeactivateDPC);
}

Service::~Service() = default;

bool Service::Activate()
{
    Deactivate();
    enter(State::Connecting);
    const bool ok = ImplActivate();
    if (!ok)
        enter(State::Idle);
    return ok;
}

void Service::Deactivate()
{
    ImplDeactivate();
    enter(State::Idle);
}

void Service::Disconnect()
{
    // Only a live connection: never a second close, never a notice without one.
    if (!stream->is_attached())
        return;
    deactivate();
}

void Service::Send(const char* data, int length)
{
    if (state == State::Deactivating)
        return;
    if (state != State::Connected) {
        // Status signals keep coming while no controller is there: one line
        // per state is enough.
        if (verbose && !dropReported)
            std::cerr << "Control::Service::Send() ignore Send request in " << GetTextNotation(state) << " state."
                      << std::endl;
        dropReported = true;
        return;
    }
    if (length < 0 || static_cast<unsigned>(length) > max_message) {
        std::cerr << "Control::Service::Send() refuse message of " << length << " octets, max " << max_message
                  << std::endl;
        return;
    }
    static Profile::Point build("Control::Service::Send [1]");
    static Profile::Point hand_over("Control::Service::Send [2]");
    build.begin();
    Packet p;
    try {
        prepare_head(p);
    } catch (const std::bad_alloc&) {
        build.end();
        std::cerr << "Control::Service::Send() packet pool exhausted, message dropped" << std::endl;
        return;
    }
    p.passert(!p.isNull(), "null packet");
    p.passert(static_cast<unsigned>(length) <= p.tailroom(), "len<=_tailroom()");
    if (length > 0)
        std::memcpy(p.put(static_cast<unsigned>(length)), data, static_cast<unsigned>(length));
    build.end();
    hand_over.begin();
    message(p);
    hand_over.end();
}

void Service::enter(State::Type next)
{
    if (next != state)
        dropReported = false;
    state = next;
}

const std::string& Service::service_name() const
{
    return stream->label();
}

void Service::service_name(const std::string& label)
{
    stream->label(label);
}

const Measure& Service::get_read_measure() const
{
    return stream->get_read_measure();
}

const Measure& Service::get_write_measure() const
{
    return stream->get_write_measure();
}

unsigned Service::GetOverflowCounter() const
{
    return stream->overflow_counter();
}

void Service::Release()
{
    stream->release();
}

void Service::Connected(Fd fd, const std::string& name)
{
    connection_name = name;
    enter(State::Connected);
    stream->attach(std::move(fd));
    activate();
    if (user != nullptr)
        user->OnConnect();
}

void Service::on_message(Packet& p)
{
    if (state == State::Deactivating || user == nullptr)
        return;
    p.passert(!p.isNull(), "null packet");
    // One read can carry thousands of messages: the watchdog must not wait
    // for all of them.
    multiplexer.pingWhenDue();
    user->OnMessage(reinterpret_cast<const char*>(p.data()), static_cast<int>(p.length()));
}

void Service::on_deactivated(Protocol*, Protocol_status)
{
    if (verbose)
        std::cerr << "control connection " << connection_name << " closed." << std::endl;
    ImplConnectionClosed();
    // A service deactivated while the connection lasted stays Idle.
    if (state == State::Connected)
        enter(State::Deactivating);
    deactivation.Activate();
}

void Service::OnDeactivateDPC()
{
    deactivation.Deactivate();
    // A Deactivate() since the close stays in force: no reconnection.
    if (state == State::Deactivating) {
        enter(State::Connecting);
        ImplOnDisconnect();
    }
    if (user != nullptr)
        user->OnDisconnect();
}

void ServiceNet::Connected(Fd fd, const INet4::Addr& address)
{
    if (GetState() == State::Deactivating)
        return;
    const int one = 1;
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one) != 0 && verbose)
        std::cerr << "fail set keepalive to control socket." << std::endl;
    if (::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0 && verbose)
        std::cerr << "fail to turn off Nagle algorithm." << std::endl;
    Service::Connected(std::move(fd), address.GetString());
}

} // namespace Control
