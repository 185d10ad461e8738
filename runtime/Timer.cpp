#include "runtime/Timer.h"

#include "runtime/Multiplexer.h"
#include "runtime/Mux.h"

TimerEvent::~TimerEvent()
{
    reset();
}

void TimerEvent::schedule(unsigned ms)
{
    if (ms > maxDelay)
        ms = maxDelay;
    expiry = Mux::milliseconds() + ms;
    multiplexer.set(this);
}

void TimerEvent::reset()
{
    multiplexer.reset(this);
}

void SimpleTimerEvent1::fire()
{
    if (owner != nullptr && owner->get() == this)
        owner->release();
    if (function != nullptr)
        function();
    delete this;
}
