#include "runtime/ChildWait.h"

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "runtime/Signal.h"

static_assert(std::atomic<unsigned>::is_always_lock_free, "the reaper's ring needs lock-free indices");

ChildWaitService* ChildWaitService::childWaitService = nullptr;

namespace {

unsigned usageCount = 0;

} // namespace

// ChildWait

ChildWait::UsageCounter::UsageCounter()
{
    if (usageCount++ == 0)
        ChildWait::Initialize();
}

ChildWait::UsageCounter::~UsageCounter()
{
    if (--usageCount == 0)
        ChildWait::Cleanup();
}

ChildWait::~ChildWait()
{
    handler->~Handler();
    Detach();
}

void ChildWait::Initialize()
{
    if (ChildWaitService::childWaitService == nullptr)
        ChildWaitService::childWaitService = new ChildWaitService;
}

void ChildWait::Cleanup()
{
    ChildWaitService* service = ChildWaitService::childWaitService;
    if (service == nullptr)
        return;
    // No handler may see the service after this.
    service->deactivate();
    ChildWaitService::childWaitService = nullptr;
    delete service;
}

bool ChildWait::Activate()
{
    ChildWaitService* service = ChildWaitService::childWaitService;
    return service != nullptr && service->activate();
}

void ChildWait::Attach(int childPid)
{
    pid = childPid;
    ChildWaitService* service = ChildWaitService::childWaitService;
    if (service == nullptr)
        return;
    if (linked)
        service->waiting.remove(this);
    service->waiting.insert_to_tail(this);
    linked = true;
}

void ChildWait::Detach()
{
    ChildWaitService* service = ChildWaitService::childWaitService;
    if (service != nullptr && linked) {
        service->waiting.remove(this);
        linked = false;
    }
}

// ChildWaitService

ChildWaitService::~ChildWaitService()
{
    while (ChildWait* registration = waiting.remove_from_head())
        registration->linked = false;
}

bool ChildWaitService::activate()
{
    if (writer)
        return true;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, pair) != 0) {
        std::cerr << "ChildWaitService: initialize fails" << std::endl;
        return false;
    }
    Fd first(pair[0]);
    Fd second(pair[1]);
    // Non-blocking: the signal handler must never wait for the loop.
    writer.reset(first.dup());
    NonBlockMode(writer.get());
    Bind("ChildWaitService::OnChildEvent", &ChildWaitService::OnChildEvent, this);
    second.NonBlock();
    Schedule(second, POLLIN);
    IPC::Signal::handle(SIGCHLD, &ChildWaitService::SigChldHandlerWrapper, IPC::Signal::Set(), SA_RESTART);
    return true;
}

void ChildWaitService::deactivate()
{
    IPC::Signal::system(SIGCHLD);
    Release();
    if (writer)
        writer.close();
    ringRead.store(0);
    ringWrite.store(0);
}

void ChildWaitService::deactivateForTest()
{
    if (childWaitService != nullptr)
        childWaitService->deactivate();
}

unsigned ChildWaitService::reapedCountForTest()
{
    return childWaitService != nullptr ? childWaitService->reaped.load() : 0;
}

unsigned ChildWaitService::ringedCountForTest()
{
    return childWaitService != nullptr ? childWaitService->ringed.load() : 0;
}

void ChildWaitService::SigChldHandlerWrapper(int, siginfo_t*, void*)
{
    const int savedErrno = errno;
    ChildWaitService* service = childWaitService;
    if (service != nullptr) {
        int status = 0;
        pid_t pid;
        while ((pid = ::waitpid(-1, &status, WNOHANG)) > 0) {
            service->reaped.fetch_add(1);
            service->post({static_cast<std::int32_t>(pid), static_cast<std::int32_t>(status)});
        }
    }
    errno = savedErrno;
}

void ChildWaitService::post(const Record& record)
{
    if (!writer)
        return;
    const unsigned read = ringRead.load();
    const unsigned write = ringWrite.load();
    if (read == write && send(record))
        return;
    // Full ring: the record is lost, the child is reaped all the same.
    if (write - read < ringSize) {
        ring[write % ringSize] = record;
        ringWrite.store(write + 1);
        ringed.fetch_add(1);
    }
}

bool ChildWaitService::send(const Record& record)
{
    std::int32_t pid = record.pid;
    std::int32_t status = record.status;
    iovec parts[2] = {{&pid, sizeof pid}, {&status, sizeof status}};
    return ::writev(writer.get(), parts, 2) == static_cast<ssize_t>(sizeof pid + sizeof status);
}

bool ChildWaitService::receive(Record& record)
{
    std::int32_t pid = 0;
    std::int32_t status = 0;
    iovec parts[2] = {{&pid, sizeof pid}, {&status, sizeof status}};
    if (::readv(getFd(), parts, 2) != static_cast<ssize_t>(sizeof pid + sizeof status))
        return false;
    record = {pid, status};
    return true;
}

void ChildWaitService::OnChildEvent(int, short revents)
{
    if ((revents & POLLIN) == 0)
        return;
    Record record;
    while (IsActive() && receive(record))
        deliver(record);
    // What did not fit in the socket comes after everything it holds.
    for (;;) {
        const unsigned read = ringRead.load();
        if (read == ringWrite.load())
            break;
        record = ring[read % ringSize];
        ringRead.store(read + 1);
        deliver(record);
    }
}

void ChildWaitService::deliver(const Record& record)
{
    std::clog << "terminate child process, pid=" << record.pid << " status=" << record.status << std::endl;
    for (ChildWait& registration : waiting) {
        if (registration.pid == record.pid) {
            waiting.remove(&registration);
            registration.linked = false;
            registration.handler->Invoke(registration, record.status);
            return;
        }
    }
}
