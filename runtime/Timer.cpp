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

void HeldTimerEvent::fire()
{
    if (owner != nullptr && owner->get() == this)
        owner->release();
    call();
    delete this;
}

void SimpleTimerEvent1::call()
{
    if (function != nullptr)
        function();
}
