#pragma once
// What the TCP and Unix-domain acceptors share: taking a new listening
// socket, binding and listening on it, and deciding on each accepted
// connection. Each says why it failed when verbose, in the acceptors' words.
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "protocol/ControlService.h"
#include "runtime/Event.h"
#include "runtime/Fd.h"
#include "runtime/INet4Addr.h"
#include "runtime/Timer.h"

namespace Control {

// Makes fd the listening socket; false (with "can't create socket:") when fd
// is no socket.
bool TakeListeningSocket(Fd& listening, int fd, bool verbose);

// The next pending connection on a listening socket, close-on-exec, with
// its peer's address; an invalid Fd when there is none.
Fd AcceptConnection(int listening, INet4::Addr& peer);

// A failed accept (errno) that left its connection pending for want of
// descriptors or memory leaves the listening socket readable: watching it on
// would spin. The pause stops watching it for retry_ms instead.
class AcceptPause
{
public:
    static const unsigned retry_ms = 1000;

    // After a failed accept: pauses the listening event when errno says so
    // (and says so when verbose).
    void After(Event& listening, bool verbose);
    void Cancel() { timer.reset(); }

private:
    void OnTimeout(Timer*) { event->setEvents(POLLIN); }

    Event* event = nullptr;
    Timer timer;
};

// How binding and listening ended.
enum class ListenResult { Listening, BindFailed, Failed };

// Binds to address, listens with a backlog of one and sets non-blocking mode.
ListenResult BindAndListen(const Fd& listening, const sockaddr* address, socklen_t size, bool verbose);

// What becomes of an accepted connection.
enum class Admission { Refused, Dropped, Taken };

// A further connection while one lasts is refused; one that cannot be made
// non-blocking is dropped; the peer is named as operator<< prints it.
template <class Peer>
Admission AdmitConnection(Service::State::Type state, const Fd& accepted, const Peer& peer, bool verbose)
{
    if (state == Service::State::Connected) {
        if (verbose)
            std::cerr << "refuse connection from " << peer << std::endl;
        return Admission::Refused;
    }
    if (!accepted.NonBlock()) {
        if (verbose)
            std::cerr << "can't set socket to non block mode: " << error_text() << std::endl;
        return Admission::Dropped;
    }
    if (verbose)
        std::cout << "new connection from " << peer << std::endl;
    return Admission::Taken;
}

} // namespace Control
