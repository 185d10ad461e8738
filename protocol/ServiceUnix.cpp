#include "protocol/ServiceUnix.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <iostream>
#include <utility>

#include "protocol/AcceptorSupport.h"

namespace Control {

namespace {

// Zeroed record, family AF_UNIX, at most 107 path bytes, NUL-terminated.
sockaddr_un unix_address(const std::string& path)
{
    sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), std::min(path.size(), sizeof address.sun_path - 1));
    return address;
}

sockaddr* sa(sockaddr_un& address)
{
    return reinterpret_cast<sockaddr*>(&address);
}

// The path an accepted peer is bound to; empty for an unbound one.
std::string peer_path(const sockaddr_un& address, socklen_t size)
{
    const std::size_t offset = offsetof(sockaddr_un, sun_path);
    if (size <= offset)
        return std::string();
    const std::size_t room = std::min<std::size_t>(size - offset, sizeof address.sun_path);
    return std::string(address.sun_path, strnlen(address.sun_path, room));
}

// A close-on-exec stream socket of the Unix domain, or -1.
int unix_socket()
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd >= 0)
        SetCloexec(fd, true);
    return fd;
}

} // namespace

void ServiceUnix::Connected(Fd fd, const std::string& name)
{
    if (GetState() == State::Deactivating)
        return;
    Service::Connected(std::move(fd), name);
}

AcceptorUnix::AcceptorUnix(const std::string& socket_path) : path(socket_path)
{
    listen_event.Bind("AcceptorUnix::OnSocketEvent", &AcceptorUnix::OnSocketEvent, this);
}

bool AcceptorUnix::ImplActivate()
{
    const int fd = unix_socket();
    if (!TakeListeningSocket(listening, fd, verbose))
        return false;
    BindSocket();
    return true;
}

ListenResult AcceptorUnix::Listen()
{
    // A socket file left behind by an earlier run would make bind fail.
    ::unlink(path.c_str());
    sockaddr_un address = unix_address(path);
    return BindAndListen(listening, sa(address), sizeof address, verbose);
}

Fd AcceptorUnix::Accept(Peer& peer)
{
    sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    socklen_t size = sizeof address;
    Fd accepted(::accept4(listening.get(), sa(address), &size, SOCK_CLOEXEC));
    if (accepted)
        peer = peer_path(address, size);
    return accepted;
}

ConnectorUnix::ConnectorUnix(const std::string& path, const std::string& local)
    : server_path(path), local_path(local)
{
    connect_event.Bind("ConnectorUnix::OnSocketEvent", &ConnectorUnix::OnSocketEvent, this);
}

void ConnectorUnix::TryConnect()
{
    // A live connection is never replaced by a second one.
    if (GetState() == State::Connected)
        return;
    const int fd = unix_socket();
    if (!TakeSocket(fd, "domain socket"))
        return;
    if (!local_path.empty()) {
        ::unlink(local_path.c_str());
        sockaddr_un local = unix_address(local_path);
        if (::bind(fd, sa(local), sizeof local) != 0)
            std::cerr << "can't bind to domain socket '" << local_path << "': \"" << error_text() << std::endl;
    }
    sockaddr_un server = unix_address(server_path);
    if (::connect(fd, sa(server), sizeof server) != 0) {
        std::cerr << "can't connect to " << server_path << " : " << error_text() << std::endl;
        Retry(refused_retry_ms);
        return;
    }
    std::clog << "connected to " << server_path << std::endl;
    connect_event.Schedule(socket, POLLOUT);
    ServiceUnix::Connected(socket, server_path);
    socket.close();
}

void ConnectorUnix::OnSocketEvent(int, short events)
{
    // The event watches a connection already handed to the service: an error
    // or hang-up is a failed attempt only when that was not taken.
    if ((events & (POLLERR | POLLHUP)) != 0 && GetState() == State::Connecting) {
        std::cerr << "fail to connect to " << server_path << std::endl;
        connect_event.Release();
        Retry(error_retry_ms);
        return;
    }
    // Writable, or the connection already ended: its close is the stack's
    // to report.
    if ((events & (POLLOUT | POLLERR | POLLHUP)) != 0)
        connect_event.Release();
}

} // namespace Control
