#pragma once
// Child-process reaping. The SIGCHLD handler reaps every ended child and
// writes a record (pid, raw waitpid status) into a socket pair; the loop reads
// the records and calls back the registration waiting for that pid. Nothing
// of the daemon's own logic runs in signal context.
//
// A ChildWait is embedded in the component that waits; its callback object
// lives inside it (no allocation), so binding, attaching and destroying never
// allocate. A registration is unlinked before its callback runs: the callback
// may attach it again for a new child or destroy it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <signal.h>

#include "runtime/Event.h"
#include "runtime/F_dual_list.h"
#include "runtime/Fd.h"

class ChildWaitService;

class ChildWait : public F_dual_list_item<ChildWait>
{
public:
    class Handler
    {
    public:
        virtual ~Handler() = default;
        virtual void Invoke(ChildWait& registration, int status) = 0;
        // Handlers live in their ChildWait's storage: nothing to free.
        static void operator delete(void*) {}
    };

    class DummyHandler : public Handler
    {
    public:
        void Invoke(ChildWait&, int) override {}
    };

    template <class X>
    class THandler1 : public Handler
    {
    public:
        using Member = void (X::*)(int status);
        THandler1(X* object, Member member) : object(object), member(member) {}
        void Invoke(ChildWait&, int status) override { (object->*member)(status); }

    private:
        X* object;
        Member member;
    };

    // Counts the units that use ChildWait: the first to be initialised
    // creates the service, the last to be finalised destroys it.
    class UsageCounter
    {
    public:
        UsageCounter();
        ~UsageCounter();
    };

    ChildWait() { handler = new (storage) DummyHandler; }
    ChildWait(const ChildWait&) = delete;
    ChildWait& operator=(const ChildWait&) = delete;
    ~ChildWait();

    static void Initialize();
    static void Cleanup();
    // Creates the socket pair, watches its reading end and installs the
    // SIGCHLD handler; once, before the loop runs.
    static bool Activate();

    // Replaces the callback by object->member(status).
    template <class X>
    void Bind(X* object, void (X::*member)(int status))
    {
        static_assert(sizeof(THandler1<X>) <= sizeof(storage), "ChildWait handler storage too small");
        static_assert(alignof(THandler1<X>) <= alignof(std::max_align_t), "ChildWait handler misaligned");
        handler->~Handler();
        handler = new (storage) THandler1<X>(object, member);
    }

    // Waits for the record of pid (at the tail of the waiting list).
    void Attach(int pid);
    void Detach();

    int getPid() const { return pid; }
    bool isWaiting() const { return linked; }

private:
    friend class ChildWaitService;

    int pid = 0;
    alignas(std::max_align_t) unsigned char storage[64];
    Handler* handler;
    bool linked = false;
};

class ChildWaitService : public Event
{
public:
    static ChildWaitService* childWaitService;

    ChildWaitService() = default;
    ~ChildWaitService() override;

    void OnChildEvent(int fd, short revents);
    static void SigChldHandlerWrapper(int sig, siginfo_t* info, void* context);

    // Tests: records reaped in signal context so far, and those of them kept
    // in the ring; the writing end (to
    // shrink its buffer); undo Activate (SIGCHLD back to the default first).
    static unsigned reapedCountForTest();
    static unsigned ringedCountForTest();
    int writeFdForTest() const { return writer.get(); }
    static void deactivateForTest();

private:
    friend class ChildWait;

    struct Record
    {
        std::int32_t pid;
        std::int32_t status;
    };

    bool activate();
    void deactivate();
    // Signal context: the ring first keeps what the socket cannot take, so
    // records stay in the order reaped.
    void post(const Record& record);
    bool send(const Record& record);
    bool receive(Record& record);
    void deliver(const Record& record);

    Fd writer;
    F_dual_list<ChildWait> waiting;

    // Single producer (the signal handler), single consumer (the loop), on
    // one thread: lock-free indices are enough.
    static const unsigned ringSize = 128;
    Record ring[ringSize];
    std::atomic<unsigned> ringRead{0};
    std::atomic<unsigned> ringWrite{0};
    std::atomic<unsigned> reaped{0};
    std::atomic<unsigned> ringed{0};
};

static ChildWait::UsageCounter childWaitUsageCounter;
