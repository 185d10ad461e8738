#pragma once
// Pumps bytes from one non-blocking descriptor to another through one
// buffer, alternating between reading and writing; when the source ends it
// optionally waits for a flush event on the destination, then reports one
// final status to the bound handler.
//
// Ownership: the copy owns duplicates of the descriptors Start is given and
// closes them when it ends; it owns its handler (deleted on rebinding,
// UnBind and destruction) and its buffer (kept across starts). The handler
// is called as the copy's very last step, so it may delete or restart the
// copy. Destroying a copy never calls the handler.
#include <poll.h>

#include <memory>

#include "runtime/Event.h"
#include "runtime/Fd.h"

namespace ASync {

class Copy {
public:
    struct EventsParams {
        unsigned src = POLLIN;     // before a read is tried
        unsigned dst = POLLOUT;    // before a write is retried
        unsigned flush = 256;      // POLLWRNORM: after the last write; 0: done at once
    };

    struct Status {
        enum Type {
            idle = 0,
            copying = 1,
            draining = 2,      // source finished, a buffer is still being written
            flushing = 3,      // all written, waiting for the flush event
            failed = 4,
            completed = 5,
            reconfigured = 6   // ended by set_events or set_bufsize
        };
    };

    class Handler {
    public:
        virtual ~Handler() = default;
        virtual void Invoke(Status::Type status) = 0;
    };

    template<class X>
    class THandler : public Handler {
    public:
        typedef void (X::*Action)(Status::Type);
        THandler(Action action, X* object) : mAction(action), mObject(object) {}
        void Invoke(Status::Type status) override
        {
            if (mAction != nullptr)
                (mObject->*mAction)(status);
        }

    private:
        Action mAction;
        X* mObject;
    };

    static constexpr unsigned DefaultBufferSize = 1024;

    Copy() = default;
    Copy(const Copy&) = delete;
    Copy& operator=(const Copy&) = delete;

    // Copies from duplicates of src to duplicates of dst (both non-blocking);
    // may end, and call the handler, before it returns.
    void Start(Fd src, Fd dst);
    // While copying: ends as if the source had ended (pending bytes are
    // still written and flushed).
    void Stop();
    // Store the masks / a new buffer size (0: the default); a running copy
    // ends with `reconfigured`.
    void set_events(const EventsParams& params);
    void set_bufsize(unsigned size);

    // The old handler goes only once the new one is in place.
    void Bind(Handler* handler) { mHandler.reset(handler); }
    void UnBind() { Bind(nullptr); }
    template<class X>
    void Bind(void (X::*action)(Status::Type), X* object)
    {
        Bind(new THandler<X>(action, object));
    }

    Status::Type state() const { return mState; }
    // Bytes written since Start.
    unsigned copied() const { return mCopied; }
    // errno of the last write failure; 0 otherwise.
    int error() const { return mError; }
    unsigned bufsize() const { return mBufSize; }

private:
    typedef bool (Copy::*Step)();

    bool SrcReady();
    bool DstReady();
    bool NotReady() { return false; }
    bool GoFlush();
    bool GoFlushDst();
    void GoWriting();
    void GoReading();
    void Progress();
    void Complete(Status::Type status);
    void CheckBuffer();
    void OnSrcEvent(int fd, short revents);
    void OnDstEvent(int fd, short revents);

    Fd mSrc;
    Fd mDst;
    EventsParams mEvents;
    unsigned mBufSize = 0;
    int mError = 0;
    Step mStep = &Copy::NotReady;
    std::unique_ptr<Handler> mHandler;
    Event mSrcEvent;
    Event mDstEvent;
    unsigned mCopied = 0;
    char* mWrite = nullptr;
    char* mEnd = nullptr;
    Status::Type mState = Status::idle;
    std::unique_ptr<char[]> mBuffer;
};

} // namespace ASync
