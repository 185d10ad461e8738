#include "protocol/StrmProtocol.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <new>
#include <utility>

#include "runtime/ExtStream.h"
#include "runtime/Multiplexer.h"
#include "runtime/Mux.h"

namespace {

// Where a read goes when the packet pool is exhausted: the data is dropped.
unsigned char discard[_Packet::packet_max_size];

std::string error_text(int error)
{
    return std::strerror(error);
}

// Stream sockets get MSG_NOSIGNAL, so a peer's reset never raises SIGPIPE.
ssize_t send_some(int fd, const unsigned char* data, std::size_t n)
{
    ssize_t r = ::send(fd, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r < 0 && errno == ENOTSOCK)
        r = ::write(fd, data, n);
    return r;
}

} // namespace

StrmProtocol::StrmProtocol() : layer_name("StrmProtocol")
{
    event.Bind("StrmProtocol::on_event", &StrmProtocol::on_event, this);
}

StrmProtocol::StrmProtocol(Fd descriptor) : StrmProtocol()
{
    attach(std::move(descriptor));
}

StrmProtocol::~StrmProtocol()
{
    release();
}

void StrmProtocol::attach(Fd descriptor)
{
    release();
    fd = std::move(descriptor);
    // On an idle socket a kernel that reports free space answers above 0.
    int queued = 0;
    free_space_flag = fd && ::ioctl(fd.get(), TIOCOUTQ, &queued) == 0 && queued > 0;
}

void StrmProtocol::release()
{
    if (!fd)
        return;
    // Answers handed down before the upper layers closed the layer still go;
    // a failure is said and counted, the layer is closing anyway.
    if (!held.empty()) {
        int error = 0;
        const WriteResult result = write_held(error);
        if (result != WriteResult::done)
            report_failure(result, error);
    }
    event.Release();
    fd.close();
}

void StrmProtocol::local_prepare_head(Packet& p)
{
    p.reserve_head(0);
}

void StrmProtocol::local_prepare_tail(Packet& p)
{
    p.reserve_tail(0);
}

void StrmProtocol::local_activate()
{
    if (!fd) {
        on_deactivate(Protocol_status(new Protocol_status_error(this, "fd not attached")));
        return;
    }
    event.Schedule(fd, POLLIN);
    on_activate();
}

void StrmProtocol::local_deactivate()
{
    release();
    on_deactivate(Protocol_status(new Protocol_status_success(this, "success")));
}

void StrmProtocol::on_event(int, short revents)
{
    if ((revents & (POLLERR | POLLHUP)) != 0) {
        int error = errno;
        // What the peer sent before it went away is delivered first. The
        // upper layers may close this layer while they handle it.
        if ((revents & POLLIN) != 0) {
            ReadResult r;
            do
                r = do_read();
            while (r == ReadResult::data && fd);
            if (r == ReadResult::closed || !fd)
                return;
            error = errno;
        }
        if ((revents & POLLERR) != 0) {
            // The socket's own error says more than errno here.
            int pending = 0;
            socklen_t size = sizeof pending;
            if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending != 0)
                error = pending;
            on_error("pollerr: " + error_text(error));
        }
        else
            on_error("pollhup: " + error_text(error));
    } else if ((revents & POLLIN) != 0) {
        do_read();
    }
}

StrmProtocol::ReadResult StrmProtocol::do_read()
{
    Packet p;
    try {
        p.reserve_head(0);
    } catch (const std::bad_alloc&) {
        return drop_read();
    }
    unsigned char* buffer = p.put(0);
    read_measure.begin();
    ssize_t n = ::recv(fd.get(), buffer, p.tailroom(), MSG_DONTWAIT | MSG_NOSIGNAL);
    const int error = errno;
    read_measure.end();
    if (n < 0) {
        errno = error;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return ReadResult::again;
        on_error("read error: " + error_text(error));
        return ReadResult::closed;
    }
    if (n == 0) {
        on_error("read error: " + error_text(error));
        return ReadResult::closed;
    }
    p.put(static_cast<unsigned>(n));
    holding = true;
    on_message(p);
    holding = false;
    send_held();
    return ReadResult::data;
}

void StrmProtocol::send_held()
{
    if (held.empty())
        return;
    int error = 0;
    const WriteResult result = write_held(error);
    if (result != WriteResult::done)
        write_failed(result, error);
}

// Empties the held answers (their storage is kept for the next read) before
// a failure can reach release().
StrmProtocol::WriteResult StrmProtocol::write_held(int& error)
{
    const WriteResult result = write_all(held.data(), held.size(), held_ends.data(), error);
    held.clear();
    held_ends.clear();
    return result;
}

// The pool is exhausted: the data is read and dropped, the process goes on.
StrmProtocol::ReadResult StrmProtocol::drop_read()
{
    ssize_t n = ::recv(fd.get(), discard, sizeof discard, MSG_DONTWAIT | MSG_NOSIGNAL);
    const int error = errno;
    if (n > 0) {
        std::cerr << ext::header(this) << "packet pool exhausted, " << n << " bytes dropped" << std::endl;
        return ReadResult::data;
    }
    errno = error;
    if (n < 0 && (error == EAGAIN || error == EWOULDBLOCK))
        return ReadResult::again;
    on_error("read error: " + error_text(error));
    return ReadResult::closed;
}

void StrmProtocol::message(Packet& p)
{
    p.passert(!p.isNull(), "null packet");
    if (holding && fd) {
        if (p.length() > 0) {
            held.insert(held.end(), p.data(), p.data() + p.length());
            held_ends.push_back(held.size());
        }
        return;
    }
    int error = 0;
    const WriteResult result = write_all(p.data(), p.length(), nullptr, error);
    if (result != WriteResult::done)
        write_failed(result, error);
}

StrmProtocol::WriteResult StrmProtocol::write_all(const unsigned char* data, std::size_t size,
                                                   const std::size_t* ends, int& error)
{
    write_measure.begin();
    std::uint32_t start = Mux::milliseconds();
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = send_some(fd.get(), data + done, size - done);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
            // The packets before the next one have gone: its second starts now.
            if (ends != nullptr && done >= *ends && done < size) {
                while (*ends <= done)
                    ++ends;
                start = Mux::milliseconds();
            }
            continue;
        }
        error = errno;
        if (error == EINTR)
            continue;
        if (error != EAGAIN && error != EWOULDBLOCK) {
            write_measure.end();
            return WriteResult::error;
        }
        // Each wait is at most the whole bound, whatever the clock does.
        std::int32_t wait = static_cast<std::int32_t>(start + write_timeout_ms - Mux::milliseconds());
        if (wait > static_cast<std::int32_t>(write_timeout_ms))
            wait = write_timeout_ms;
        if (wait < 1)
            break;
        multiplexer.resetWD();
        pollfd entry = {fd.get(), POLLOUT, 0};
        int r = ::poll(&entry, 1, wait);
        const int poll_error = errno;
        multiplexer.resetWD();
        if (r == 1 || (r < 0 && poll_error == EINTR))
            continue;
        break;
    }
    write_measure.end();
    return done == size ? WriteResult::done : WriteResult::timeout;
}

void StrmProtocol::write_failed(WriteResult result, int error)
{
    report_failure(result, error);
    on_error(result == WriteResult::error ? "write error: " + error_text(error) : std::string("write timeout"));
}

void StrmProtocol::report_failure(WriteResult result, int error)
{
    ++overflow;
    std::cerr << ext::header(this) << (result == WriteResult::error ? "write error" : "write timeout");
    put_figures(std::cerr);
    if (result == WriteResult::error)
        std::cerr << ", error=" << error_text(error);
    std::cerr << std::endl;
}

void StrmProtocol::on_error(const std::string& text)
{
    release();
    on_deactivate(Protocol_status(new Protocol_status_error(this, text)));
}

void StrmProtocol::PutHeader(std::ostream& os) const
{
    os << "SockStream[" << stream_label << "]: ";
}

void StrmProtocol::put_figures(std::ostream& os) const
{
    os << std::dec << ", sendbuf=" << sendbuf_space() << ", recvbuf=" << recvbuf_space() << ", free=" << free_space()
       << ", inq=" << inq_space() << ", outq=" << outq_space();
}

int StrmProtocol::sendbuf_space() const
{
    int value = 0;
    socklen_t size = sizeof value;
    return ::getsockopt(fd.get(), SOL_SOCKET, SO_SNDBUF, &value, &size) == 0 ? value : -1;
}

int StrmProtocol::recvbuf_space() const
{
    int value = 0;
    socklen_t size = sizeof value;
    return ::getsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &value, &size) == 0 ? value : -1;
}

int StrmProtocol::outq_space() const
{
    int value = 0;
    return ::ioctl(fd.get(), TIOCOUTQ, &value) == 0 ? value : -1;
}

int StrmProtocol::inq_space() const
{
    int value = 0;
    return ::ioctl(fd.get(), FIONREAD, &value) == 0 ? value : -1;
}

int StrmProtocol::free_space() const
{
    if (free_space_flag)
        return outq_space();
    return sendbuf_space() - outq_space();
}
