#pragma once
// A named descriptor registration with one callback: the way every component
// waits on a descriptor. The Event owns its own duplicate of the descriptor
// and the bound handler; it is attached to the loop while it holds a
// descriptor.
#include <memory>
#include <string>

#include "runtime/Fd.h"
#include "runtime/Measure.h"
#include "runtime/Multiplexer.h"

namespace EventDetail {
// Keeps a parameter out of template argument deduction.
template <class T>
struct Identity
{
    using type = T;
};
} // namespace EventDetail

class Event : public EventHandler
{
public:
    // The callback; owned by its Event.
    class Handler
    {
    public:
        virtual ~Handler() = default;
        // Called every turn with a ready descriptor, revents 0 included:
        // test revents.
        virtual void Invoke(int fd, short revents) = 0;
    };

    template <class X>
    class THandler : public Handler
    {
    public:
        using Action = void (X::*)(int fd, short revents);
        THandler(Action action, X* object) : action(action), object(object) {}
        void Invoke(int fd, short revents) override
        {
            if (action != nullptr)
                (object->*action)(fd, revents);
        }

    private:
        Action action;
        X* object;
    };

    Event() = default;
    // Deletes the handler, detaches, closes the descriptor.
    ~Event() override;

    // Takes ownership of the handler; the one bound before is deleted (also
    // when it is the one running: reset stores the new one first).
    void Bind(Handler* newHandler) { handler.reset(newHandler); }
    void UnBind() { Bind(nullptr); }
    // Names the Event "Class::Member" and binds object->action. X is taken
    // from the member, so a derived object binds to a base member.
    template <class X>
    void Bind(const std::string& eventName, void (X::*action)(int, short), typename EventDetail::Identity<X>::type* object)
    {
        name = eventName;
        Bind(new THandler<X>(action, object));
    }

    // Watches a close-on-exec duplicate of fd (the caller keeps its own
    // descriptor; the by-value copy is closed on return) for events. The
    // Event is detached first, so it moves to the end of the service order
    // from the next turn on; an invalid fd leaves it released.
    void Schedule(Fd fd, short events);
    // Detaches and closes the descriptor; the handler stays bound.
    void Release();
    // Changes the requested events in place: the order and the descriptor
    // stay, the new mask is polled from the next turn.
    void setEvents(short mask) { events = mask; }

    short getEvents() const { return events; }
    int getFd() const { return fd.get(); }
    // True while the Event holds a descriptor.
    bool IsActive() const { return static_cast<bool>(fd); }
    bool isBound() const { return handler != nullptr; }
    const std::string& getName() const { return name; }
    unsigned getCount() const { return count; }
    const Measure& getMeasure() const { return measure; }
    Measure& getMeasure() { return measure; }

    void shedule_event(pollfd& entry) override;
    // Counts a turn whose result meets the mask, then calls the handler
    // (with revents 0 as well). Nothing touches the Event after the call:
    // the handler may delete it.
    void svc_event(short revents) override;
    using EventHandler::svc_event;
    std::string event_name() const override { return name; }
    bool is_named() const override { return true; }

private:
    std::unique_ptr<Handler> handler;
    Fd fd;
    short events = 0;
    std::string name = "Unknown";
    unsigned count = 0;
    Measure measure;
};
