#pragma once
// A TCP connection attempt with a non-blocking connect and a time-out. The
// bound handler gets one final status and, when connected, a duplicate of
// the socket: the handler owns the connection only through that Fd.
//
// The handler is owned (deleted on rebinding, UnBind and destruction) and is
// called as the attempt's very last step, so it may delete or restart the
// object. A connect that succeeds or fails at once calls it before Start
// returns. Destroying the object never calls the handler.
#include <memory>
#include <string>

#include "runtime/Event.h"
#include "runtime/Fd.h"
#include "runtime/Timer.h"

namespace ASync {

class Connect {
public:
    struct Status {
        enum Type {
            idle = 0,
            connecting = 1,
            failed = 2,     // socket, connect error, error event, SO_ERROR, time-out, bad address
            connected = 3,
            stopped = 4
        };
    };

    class Handler {
    public:
        virtual ~Handler() = default;
        // fd: the connected socket for `connected`, an empty Fd otherwise.
        virtual void Invoke(Status::Type status, Fd fd) = 0;
    };

    template<class X>
    class THandler : public Handler {
    public:
        typedef void (X::*Action)(Status::Type, Fd);
        THandler(Action action, X* object) : mAction(action), mObject(object) {}
        void Invoke(Status::Type status, Fd fd) override
        {
            if (mAction != nullptr)
                (mObject->*mAction)(status, std::move(fd));
        }

    private:
        Action mAction;
        X* mObject;
    };

    Connect() = default;
    Connect(const Connect&) = delete;
    Connect& operator=(const Connect&) = delete;

    // address: "a.b.c.d:port"; one that does not parse fails at once without
    // connecting. timeout in ms.
    void Start(const std::string& address, unsigned timeout);
    // While connecting: ends with `stopped`.
    void Stop();

    // The old handler goes only once the new one is in place.
    void Bind(Handler* handler) { mHandler.reset(handler); }
    void UnBind() { Bind(nullptr); }
    template<class X>
    void Bind(void (X::*action)(Status::Type, Fd), X* object)
    {
        Bind(new THandler<X>(action, object));
    }

    Status::Type state() const { return mState; }

private:
    void OnSocketEvent(int fd, short revents);
    void OnTimeOut(Timer* timer);
    void Complete(Status::Type status);

    Status::Type mState = Status::idle;
    Fd mSocket;
    Event mSocketEvent;
    std::unique_ptr<Handler> mHandler;
    Timer mTimer;
};

} // namespace ASync
