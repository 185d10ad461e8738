#pragma once
// One-shot timers kept by the multiplexer in a list sorted by expiry. A
// client owns a Timer, a holder of at most one pending event, and arms it
// with one of its own members; the event calls that member when due and
// deletes itself. Re-arming from inside the callback gives a periodic timer.
#include <cstdint>
#include <memory>

#include "runtime/F_dual_list.h"

class Timer;

// A pending deadline on the Mux::milliseconds clock (32 bits, wrapping).
class TimerEvent : public F_dual_list_item<TimerEvent>
{
public:
    // Longest delay schedule() takes; longer ones are cut to it, so that a
    // huge value never wraps into an already due or misordered expiry.
    static constexpr unsigned maxDelay = 0x3FFFFFFFu;

    TimerEvent() = default;
    TimerEvent(const TimerEvent&) = delete;
    TimerEvent& operator=(const TimerEvent&) = delete;
    // Cancels the event when pending.
    virtual ~TimerEvent();
    // Called by the loop after it unlinked the event.
    virtual void fire() = 0;

    // Expiry = now + ms; (re)inserts the event in the timer list.
    void schedule(unsigned ms);
    // Cancels; nothing when not pending.
    void reset();

    // Signed 32-bit difference of the expiries: negative when this one is
    // first. Valid while pending expiries lie within 2^31 ms of each other.
    int compare(const TimerEvent& other) const
    {
        return static_cast<std::int32_t>(expiry - other.expiry);
    }

    std::uint32_t getExpiry() const { return expiry; }
    bool isPending() const { return pending; }

private:
    friend class Multiplexer;
    std::uint32_t expiry = 0;
    // Linked in the timer list: cancelling needs no search.
    bool pending = false;
};

// Holder of at most one pending event; owns it. Destroying or re-arming the
// holder cancels the event it holds.
class Timer
{
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer() = default;

    // Arms ms ahead with a member of X taking nothing or the Timer*; the
    // event held before is cancelled.
    template <class X>
    void set(unsigned ms, void (X::*member)(), X* object);
    template <class X>
    void set(unsigned ms, void (X::*member)(Timer*), X* object);
    void set(unsigned ms, void (*function)());

    // Cancels the pending event.
    void reset() { event.reset(); }
    TimerEvent* get() const { return event.get(); }
    // Gives up the pending event without cancelling it (the event calls
    // this when it fires).
    TimerEvent* release() { return event.release(); }

private:
    std::unique_ptr<TimerEvent> event;
};

// An event armed through a Timer. Firing empties the holder first, so the
// callback may re-arm it or destroy the object that owns it; nothing touches
// the event afterwards but its own deletion.
class HeldTimerEvent : public TimerEvent
{
public:
    void fire() final;

protected:
    HeldTimerEvent(Timer* owner, unsigned ms) : owner(owner) { schedule(ms); }
    virtual void call() = 0;

    Timer* const owner;
};

// Calls object->member() when due.
template <class X>
class ObjTimerEvent1 : public HeldTimerEvent
{
public:
    using Member = void (X::*)();

    ObjTimerEvent1(Timer* owner, Member member, X* object, unsigned ms)
        : HeldTimerEvent(owner, ms), member(member), object(object)
    {
    }

private:
    void call() override { (object->*member)(); }

    Member member;
    X* object;
};

// Calls object->member(owner) when due.
template <class X>
class ObjTimerEvent2 : public HeldTimerEvent
{
public:
    using Member = void (X::*)(Timer*);

    ObjTimerEvent2(Timer* owner, Member member, X* object, unsigned ms)
        : HeldTimerEvent(owner, ms), member(member), object(object)
    {
    }

private:
    void call() override { (object->*member)(owner); }

    Member member;
    X* object;
};

// Calls a plain function when due.
class SimpleTimerEvent1 : public HeldTimerEvent
{
public:
    using Function = void (*)();

    SimpleTimerEvent1(Timer* owner, Function function, unsigned ms) : HeldTimerEvent(owner, ms), function(function)
    {
    }

private:
    void call() override;

    Function function;
};

template <class X>
void Timer::set(unsigned ms, void (X::*member)(), X* object)
{
    event.reset(new ObjTimerEvent1<X>(this, member, object, ms));
}

template <class X>
void Timer::set(unsigned ms, void (X::*member)(Timer*), X* object)
{
    event.reset(new ObjTimerEvent2<X>(this, member, object, ms));
}

inline void Timer::set(unsigned ms, void (*function)())
{
    event.reset(new SimpleTimerEvent1(this, function, ms));
}

// A fixed periodic timer described by a static record of X, named
// TUpdatespec in its class:
//   static const TimerSpec<X> TUpdatespec;
//   TimerSpec<X>::SpecTimer<TUpdatespec> updateTimer;   // updateTimer.set(this)
template <class X>
struct TimerSpec
{
    void (X::*member)();
    std::uint32_t period;

    template <const TimerSpec<X>& Spec>
    class SpecTimer : public Timer
    {
    public:
        void set(X* object) { Timer::set(Spec.period, Spec.member, object); }
    };
};
