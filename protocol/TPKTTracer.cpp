#include "protocol/TPKTTracer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <cerrno>
#include <iostream>
#include <iterator>

#include "protocol/AcceptorSupport.h"
#include "runtime/Fd.h"
#include "runtime/INet4Addr.h"

TPKTTracer::TPKTTracer() : current(clients.end()) {}

TPKTTracer::~TPKTTracer() = default;

bool TPKTTracer::Listen(unsigned short port)
{
    Fd socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!socket || !SetCloexec(socket.get(), true))
        return false;
    INet4::Addr address;
    address.Reset();
    address.SetPort(port);
    if (Control::BindAndListen(socket, address.sa(), sizeof address, false) != Control::ListenResult::Listening)
        return false;
    listen_event.Bind("TPKTTracer::OnEvent", &TPKTTracer::OnEvent, this);
    listen_event.Schedule(socket, POLLIN);
    return true;
}

std::uint16_t TPKTTracer::GetPort() const
{
    return listen_event.IsActive() ? INet4::BoundPort(listen_event.getFd()) : 0;
}

void TPKTTracer::OnEvent(int fd, short events)
{
    if ((events & POLLIN) == 0)
        return;
    for (;;) {
        INet4::Addr peer;
        const Fd accepted = Control::AcceptConnection(fd, peer);
        if (!accepted) {
            accept_pause.After(listen_event, false);
            break;
        }
        std::clog << "ACP connection open from " << peer << std::endl;
        if (!accepted.NonBlock())
            continue;
        std::unique_ptr<Connection> c(new Connection);
        c->event.Bind("TPKTTracer::OnDataEvent", &TPKTTracer::OnDataEvent, this);
        c->event.Schedule(accepted, POLLIN);
        const int key = c->event.getFd();
        by_fd[key] = clients.insert(clients.end(), std::move(c));
    }
}

TPKTTracer::Position TPKTTracer::FindConnection(int fd)
{
    const auto found = by_fd.find(fd);
    return found == by_fd.end() ? clients.end() : found->second;
}

void TPKTTracer::CloseConnection(Position position)
{
    by_fd.erase((*position)->event.getFd());
    if (position == current) {
        // The receiver may still be reading this client's buffer.
        current = clients.end();
        (*position)->event.Release();
        closed = std::move(*position);
    }
    clients.erase(position);
}

void TPKTTracer::OnDataEvent(int fd, short events)
{
    current = FindConnection(fd);
    if (current == clients.end())
        return;
    // What the client sent before it went away is delivered first.
    if ((events & POLLIN) != 0)
        ReadFrames(**current);
    if (current != clients.end() && (events & (POLLERR | POLLHUP)) != 0)
        CloseConnection(current);
    current = clients.end();
    closed.reset();
}

void TPKTTracer::ReadFrames(Connection& c)
{
    const int fd = c.event.getFd();
    for (;;) {
        const ssize_t n = ::recv(fd, c.buffer + c.received, c.wanted - c.received, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                CloseConnection(current);
            return;
        }
        if (n == 0) {
            CloseConnection(current);
            return;
        }
        c.received += static_cast<unsigned>(n);
        if (c.received < c.wanted)
            return;
        if (c.in_header) {
            const unsigned length = static_cast<unsigned>(c.buffer[2]) << 8 | c.buffer[3];
            if (c.buffer[0] != 3 || c.buffer[1] != 0 || length < header_size ||
                length - header_size > buffer_size) {
                CloseConnection(current);
                return;
            }
            c.received = 0;
            if (length > header_size) {
                c.in_header = false;
                c.wanted = length - header_size;
            }
            continue;   // an empty frame is skipped
        }
        if (receiver != nullptr)
            receiver->Receive(c.buffer, c.wanted);
        if (current == clients.end())
            return;   // closed by a failed reply
        c.in_header = true;
        c.wanted = header_size;
        c.received = 0;
    }
}

void TPKTTracer::Send(const void* data, unsigned length)
{
    if (length > max_block) {
        std::cerr << "TPKTTracer::Send() refuse block of " << length << " octets, max " << max_block << std::endl;
        return;
    }
    const unsigned total = length + header_size;
    unsigned char header[header_size] = {3, 0, static_cast<unsigned char>(total >> 8),
                                         static_cast<unsigned char>(total & 0xFF)};
    iovec parts[2] = {{header, header_size}, {const_cast<void*>(data), length}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    if (current != clients.end()) {
        SendTo(current, message, total);
        return;
    }
    // The client being answered has been closed: the rest of its delivery
    // is meant for nobody else.
    if (closed)
        return;
    // The next position is taken first: a failed send removes its client.
    for (Position p = clients.begin(); p != clients.end();) {
        const Position next = std::next(p);
        SendTo(p, message, total);
        p = next;
    }
}

void TPKTTracer::SendTo(Position position, const msghdr& message, unsigned total)
{
    // No SIGPIPE for a client that has gone.
    const ssize_t n = ::sendmsg((*position)->event.getFd(), &message, MSG_NOSIGNAL);
    if (n < 0) {
        if (errno != EINTR)
            CloseConnection(position);
        return;
    }
    if (static_cast<unsigned>(n) < total)
        CloseConnection(position);
}
