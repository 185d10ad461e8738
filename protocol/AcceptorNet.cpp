#include "protocol/AcceptorNet.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <utility>

#include "protocol/AcceptorSupport.h"

namespace Control {

namespace {

void set_int(int fd, int level, int option, int value)
{
    ::setsockopt(fd, level, option, &value, sizeof value);
}

} // namespace

AcceptorNet::AcceptorNet(int port, bool verbose_flag) : port(static_cast<std::uint16_t>(port))
{
    verbose = verbose_flag;
    listen_event.Bind("AcceptorNet::OnSocketEvent", &AcceptorNet::OnSocketEvent, this);
}

std::uint16_t AcceptorNet::GetBoundPort() const
{
    return listen_event.IsActive() ? INet4::BoundPort(listening.get()) : 0;
}

bool AcceptorNet::ImplActivate()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd >= 0)
        SetCloexec(fd, true);
    if (!TakeListeningSocket(listening, fd, verbose))
        return false;
    set_int(fd, SOL_SOCKET, SO_REUSEADDR, 1);
    BindSocket();
    return true;
}

ListenResult AcceptorNet::Listen()
{
    INet4::Addr address;
    address.Reset();
    address.SetPort(port);
    return BindAndListen(listening, address.sa(), sizeof address, verbose);
}

bool AcceptorNetCheckConnection::ImplActivate()
{
    AcceptorNet::ImplActivate();
    CheckConnection();
    return true;
}

void AcceptorNetCheckConnection::ImplDeactivate()
{
    check_timer.reset();
    AcceptorNet::ImplDeactivate();
}

void AcceptorNetCheckConnection::ImplConnected(Fd fd)
{
    connection = std::move(fd);
}

void AcceptorNetCheckConnection::ImplConnectionClosed()
{
    // The stack has closed its socket; this duplicate would keep the
    // connection open for the peer.
    connection.close();
}

void AcceptorNetCheckConnection::ImplRefuseConnection()
{
    if (check_state != CheckState::Idle)
        return;
    check_state = CheckState::CheckConnection;
    countdown = 2;
    SetupKeepAlive(true);
    if (verbose)
        std::cerr << "CheckConnectionState CheckConnection" << std::endl;
}

void AcceptorNetCheckConnection::SetupKeepAlive(bool fast)
{
    const int fd = connection.get();
    set_int(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    set_int(fd, IPPROTO_TCP, TCP_KEEPIDLE, fast ? 1 : 7200);
    set_int(fd, IPPROTO_TCP, TCP_KEEPINTVL, fast ? 1 : 75);
    set_int(fd, IPPROTO_TCP, TCP_KEEPCNT, fast ? 3 : 9);
}

void AcceptorNetCheckConnection::OnCheckConnectionTimeout(Timer*)
{
    CheckConnection();
}

void AcceptorNetCheckConnection::CheckConnection()
{
    if (GetState() == State::Connected) {
        bool drop = false;
        // The kernel's tcp_info record: tcpi_state is its first byte,
        // tcpi_ca_state its second. A record cut to one int (as user-mode
        // emulators return it, converted as a number) is no record.
        unsigned char info[92] = {};
        socklen_t size = sizeof info;
        if (::getsockopt(connection.get(), IPPROTO_TCP, TCP_INFO, info, &size) == 0 && size >= 8) {
            if (info[0] != 1) {   // TCP_ESTABLISHED
                if (verbose)
                    std::cerr << "connection from " << GetConnectionName() << " closed: tcp socket change state."
                              << std::endl;
                drop = true;
            }
            if (check_state == CheckState::CheckConnection) {
                if (info[1] != 0) {   // not TCP_CA_Open
                    if (countdown > 0)
                        --countdown;
                    if (countdown < 1) {
                        if (verbose)
                            std::cerr << "connection from " << GetConnectionName()
                                      << " closed: tcp socket change ca_state." << std::endl;
                        drop = true;
                    }
                } else {
                    check_state = CheckState::Idle;
                    SetupKeepAlive(false);
                    if (verbose)
                        std::cerr << "CheckConnectionState Idle" << std::endl;
                }
            }
        }
        int pending = 0;
        size = sizeof pending;
        const bool read = ::getsockopt(connection.get(), SOL_SOCKET, SO_ERROR, &pending, &size) == 0;
        if (!read || pending != 0) {
            if (verbose)
                std::cerr << "connection from " << GetConnectionName()
                          << " closed: " << (read ? std::strerror(pending) : error_text()) << std::endl;
            drop = true;
        }
        if (drop) {
            check_state = CheckState::Idle;
            SetupKeepAlive(false);
            Disconnect();
            if (verbose)
                std::cerr << "CheckConnectionState Idle" << std::endl;
        }
    }
    check_timer.set(check_period_ms, &AcceptorNetCheckConnection::OnCheckConnectionTimeout, this);
}

} // namespace Control
