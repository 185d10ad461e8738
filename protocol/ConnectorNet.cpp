#include "protocol/ConnectorNet.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace Control {

namespace {

std::string dotted(const in_addr& address)
{
    char text[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

} // namespace

ConnectorNet::ConnectorNet() : port(0)
{
    connect_event.Bind("ConnectorNet::OnSocketEvent", &ConnectorNet::OnSocketEvent, this);
}

ConnectorNet::ConnectorNet(const std::string& address) : ConnectorNet()
{
    INet4::Addr parsed;
    parsed.Reset();
    int number = -1;
    if (!parsed.Assign(address, &number))
        parsed.sin_addr.s_addr = INADDR_ANY;
    port = number < 0 ? 0 : parsed.sin_port;
    host = dotted(parsed.sin_addr);
}

ConnectorNet::ConnectorNet(const std::string& host_text, unsigned short port_number) : ConnectorNet()
{
    port = htons(port_number);
    host = host_text;
}

INet4::Addr ConnectorNet::GetTarget() const
{
    INet4::Addr target;
    target.Reset();
    target.sin_port = port;
    target.Assign(host, nullptr);
    return target;
}

void ConnectorNet::TryConnect()
{
    // A live connection is never replaced by a second one.
    if (GetState() == State::Connected)
        return;
    const int fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd >= 0)
        SetCloexec(fd, true);
    if (!TakeSocket(fd, "socket"))
        return;
    const INet4::Addr target = GetTarget();
    if (::connect(fd, target.sa(), sizeof target) == 0) {
        std::clog << "already connected to " << target << std::endl;
        Handover(target);
        return;
    }
    if (errno == EINPROGRESS) {
        connect_event.Schedule(socket, POLLOUT);
        return;
    }
    std::cerr << "can't connect to " << target << " : " << error_text() << std::endl;
    Retry(refused_retry_ms);
}

void ConnectorNet::OnSocketEvent(int, short events)
{
    if (GetState() == State::Connected) {
        // Left over from the attempt that made the live connection: its
        // close is the stack's to report.
        connect_event.Release();
        return;
    }
    const INet4::Addr target = GetTarget();
    if ((events & (POLLERR | POLLHUP)) != 0) {
        std::cerr << "fail to connect to " << target << std::endl;
        connect_event.Release();
        Retry(error_retry_ms);
        return;
    }
    if ((events & POLLOUT) == 0)
        return;
    connect_event.Release();
    int pending = 0;
    socklen_t size = sizeof pending;
    if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &pending, &size) != 0) {
        std::cerr << "getsockopt(SOL_SOCKET,SO_ERROR) fail: " << error_text() << std::endl;
        Deactivate();
        return;
    }
    if (pending != 0) {
        std::cerr << "fail to connect to " << target << std::endl;
        Retry(failed_retry_ms);
        return;
    }
    std::cout << "connected to " << target << "." << std::endl;
    Handover(target);
}

void ConnectorNet::Handover(const INet4::Addr& target)
{
    Connected(socket, target);
    socket.close();
}

} // namespace Control
