#include "runtime/Event.h"

Event::~Event()
{
    handler.reset();
    if (fd)
        mux_detach();
    if (fd)
        fd.close();
}

void Event::Schedule(Fd other, short mask)
{
    if (fd) {
        mux_detach();
        fd.close();
    }
    fd.reset(other.dup());
    events = mask;
    if (fd)
        mux_attach();
}

void Event::Release()
{
    if (fd) {
        mux_detach();
        fd.close();
    }
}

void Event::shedule_event(pollfd& entry)
{
    entry.fd = fd.get();
    entry.events = events;
}

void Event::svc_event(short result)
{
    if ((result & events) != 0)
        ++count;
    if (handler != nullptr)
        handler->Invoke(fd.get(), result);
}
