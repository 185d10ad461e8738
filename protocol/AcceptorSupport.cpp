#include "protocol/AcceptorSupport.h"

namespace Control {

bool TakeListeningSocket(Fd& listening, int fd, bool verbose)
{
    listening.reset(fd);
    if (fd >= 0)
        return true;
    if (verbose)
        std::cerr << "can't create socket:" << error_text() << std::endl;
    return false;
}

Fd AcceptConnection(int listening, INet4::Addr& peer)
{
    peer.Reset();
    socklen_t size = sizeof peer;
    return Fd(::accept4(listening, peer.sa(), &size, SOCK_CLOEXEC));
}

void AcceptPause::After(Event& listening, bool verbose)
{
    const int error = errno;
    if (error != EMFILE && error != ENFILE && error != ENOBUFS && error != ENOMEM)
        return;
    if (verbose)
        std::cerr << "can't accept connection: " << std::strerror(error) << ", waiting..." << std::endl;
    event = &listening;
    event->setEvents(0);
    timer.set(retry_ms, &AcceptPause::OnTimeout, this);
}

ListenResult BindAndListen(const Fd& listening, const sockaddr* address, socklen_t size, bool verbose)
{
    if (::bind(listening.get(), address, size) != 0) {
        if (verbose)
            std::cerr << "can't bind to socket: \"" << error_text() << "\" " << " waiting..." << std::endl;
        return ListenResult::BindFailed;
    }
    if (::listen(listening.get(), 1) != 0) {
        if (verbose)
            std::cerr << "can't listen socket: " << error_text() << std::endl;
        return ListenResult::Failed;
    }
    if (!listening.NonBlock()) {
        if (verbose)
            std::cerr << "can't set socket to non block mode: " << error_text() << std::endl;
        return ListenResult::Failed;
    }
    return ListenResult::Listening;
}

} // namespace Control
