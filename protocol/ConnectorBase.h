#pragma once
// What the TCP and Unix connectors share: activation, the retry schedule and
// the close of an attempt. From each activation quick_retries attempts
// quick_retry_ms apart, then one attempt per slow period of the failure
// kind; a fresh attempt reconnect_ms after an established connection ends
// (the budget is not refilled).
//
// The connector (Derived) keeps the members, in its own order, and befriends
// this base: socket (Fd), retry_timer (Timer), connect_event (Event), budget
// (int), and TryConnect(), one attempt.
#include <iostream>

#include "protocol/ControlService.h"
#include "runtime/Timer.h"

namespace Control {

template <class Derived, class Transport>
class ConnectorBase : public Transport
{
public:
    static const int quick_retries = 7;
    static const unsigned quick_retry_ms = 1000;
    static const unsigned refused_retry_ms = 20000;   // connect failed
    static const unsigned error_retry_ms = 15000;     // error event while connecting
    static const unsigned reconnect_ms = 10000;       // after a connection ended

    int GetRetryBudget() const { return self().budget; }

protected:
    bool ImplActivate() override
    {
        self().budget = quick_retries;
        self().TryConnect();
        return true;
    }

    void ImplDeactivate() override
    {
        this->Release();
        self().socket.close();
        self().retry_timer.reset();
        self().connect_event.Release();
    }

    void ImplOnDisconnect() override { self().retry_timer.set(reconnect_ms, &ConnectorBase::OnTimeout, this); }

    void OnTimeout(Timer*) { self().TryConnect(); }

    // Takes fd (-1: creation failed) as the attempt's socket and makes it
    // non-blocking. False when either fails: the failure is written, naming
    // the socket `kind`, and the service is deactivated (no retry).
    bool TakeSocket(int fd, const char* kind)
    {
        self().socket.reset(fd);
        if (fd < 0) {
            std::cerr << "can't create " << kind << ":" << error_text() << std::endl;
            this->Deactivate();
            return false;
        }
        if (!self().socket.NonBlock()) {
            std::cerr << "can't set " << kind << " to non block mode: " << error_text() << std::endl;
            this->Deactivate();
            return false;
        }
        return true;
    }

    // The next attempt: quick_retry_ms later while the budget lasts (spending
    // one), slow_ms later afterwards.
    void Retry(unsigned slow_ms)
    {
        unsigned ms = slow_ms;
        if (self().budget > 0) {
            --self().budget;
            ms = quick_retry_ms;
        }
        self().retry_timer.set(ms, &ConnectorBase::OnTimeout, this);
    }

private:
    Derived& self() { return static_cast<Derived&>(*this); }
    const Derived& self() const { return static_cast<const Derived&>(*this); }
};

} // namespace Control
