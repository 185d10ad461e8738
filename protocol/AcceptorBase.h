#pragma once
// What the TCP and Unix acceptors share: binding (again bind_retry_ms after
// a failed bind), taking every pending connection (the first while none
// lasts, refusing the others), pausing accept_retry_ms when out of
// descriptors, and closing the listening socket.
//
// The acceptor (Derived) keeps the members, in its own order, and befriends
// this base: listening (Fd), bind_timer (Timer), accept_pause (AcceptPause),
// listen_event (Event); and Listen(), which binds and listens on its address,
// and Accept(Peer&), which takes the next pending connection with its peer
// (an invalid Fd when none). An acceptor that adds timers of its own cancels
// them in its ImplDeactivate before calling this one's.
#include <poll.h>

#include "protocol/AcceptorSupport.h"
#include "runtime/Timer.h"

namespace Control {

template <class Derived, class Transport>
class AcceptorBase : public Transport
{
public:
    static const unsigned bind_retry_ms = 5000;
    // Pause of the listening after an accept failed for want of descriptors.
    static const unsigned accept_retry_ms = AcceptPause::retry_ms;

protected:
    void ImplDeactivate() override
    {
        self().bind_timer.reset();
        self().accept_pause.Cancel();
        self().listen_event.Release();
        self().listening.close();
    }

    void ImplOnDisconnect() override {}
    // A further connection was refused.
    virtual void ImplRefuseConnection() {}
    // A connection was handed to the service (fd: a duplicate of it).
    virtual void ImplConnected(Fd) {}

    void BindSocket()
    {
        switch (self().Listen()) {
        case ListenResult::Listening:
            self().listen_event.Schedule(self().listening, POLLIN);
            break;
        case ListenResult::BindFailed:
            self().bind_timer.set(bind_retry_ms, &AcceptorBase::OnTimeout, this);
            break;
        case ListenResult::Failed:
            this->Deactivate();
            break;
        }
    }

    void OnTimeout(Timer*) { BindSocket(); }

    void OnSocketEvent(int, short events)
    {
        if ((events & POLLIN) == 0)
            return;
        // Every pending connection; a callback may close the listening
        // socket, which ends the loop at the next accept.
        for (;;) {
            typename Derived::Peer peer;
            Fd accepted = self().Accept(peer);
            if (!accepted) {
                self().accept_pause.After(self().listen_event, this->verbose);
                break;
            }
            const Admission admission = AdmitConnection(this->GetState(), accepted, peer, this->verbose);
            if (admission == Admission::Refused)
                ImplRefuseConnection();
            if (admission != Admission::Taken)
                continue;   // closed here
            Transport::Connected(accepted, peer);
            // Taken only when the service was not still reporting a close: an
            // ignored connection is closed here, so its peer is not left hanging.
            if (this->GetState() == Service::State::Connected)
                ImplConnected(accepted);
        }
    }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

} // namespace Control
