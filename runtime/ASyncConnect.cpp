#include "runtime/ASyncConnect.h"

#include <cerrno>
#include <cstdlib>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include "runtime/INet4Addr.h"

namespace ASync {

namespace {

// "a.b.c.d:port" with a dotted address and a decimal port in 1..65535.
bool parseAddress(const std::string& text, INet4::Addr& addr)
{
    const std::string::size_type colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size() || text.size() - colon > 6)
        return false;
    unsigned long port = 0;
    for (std::string::size_type i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        port = port * 10 + static_cast<unsigned long>(text[i] - '0');
    }
    if (port == 0 || port > 65535)
        return false;
    int parsedPort = -1;
    return addr.Assign(text, &parsedPort) && parsedPort == static_cast<int>(port);
}

} // namespace

void Connect::Start(const std::string& address, unsigned timeout)
{
    mState = Status::connecting;
    mSocket.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!mSocket || !mSocket.NonBlock()) {
        Complete(Status::failed);
        return;
    }
    INet4::Addr target;
    target.Reset();
    if (!parseAddress(address, target)) {
        Complete(Status::failed);
        return;
    }
    if (::connect(mSocket.get(), target.sa(), sizeof target) == 0) {
        Complete(Status::connected);
        return;
    }
    if (errno != EINPROGRESS) {
        Complete(Status::failed);
        return;
    }
    mSocketEvent.Schedule(mSocket, POLLOUT);
    mSocketEvent.Bind("Connect::OnSocketEvent", &Connect::OnSocketEvent, this);
    mTimer.set(timeout, &Connect::OnTimeOut, this);
}

void Connect::Stop()
{
    Complete(Status::stopped);
}

void Connect::OnSocketEvent(int fd, short revents)
{
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
        Complete(Status::failed);
    } else if (revents & POLLOUT) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            Complete(Status::failed);
        else
            Complete(Status::connected);
    }
}

void Connect::OnTimeOut(Timer*)
{
    Complete(Status::failed);
}

void Connect::Complete(Status::Type status)
{
    if (mState != Status::connecting)
        return;
    mState = status;
    Fd connection;
    if (status == Status::connected)
        connection.reset(mSocket.dup());
    mSocket.reset();
    mSocketEvent.Release();
    mSocketEvent.UnBind();
    mTimer.reset();
    // Last step: the handler may delete or restart this object.
    if (mHandler != nullptr)
        mHandler->Invoke(status, std::move(connection));
}

} // namespace ASync
