#pragma once
// Deferred calls: work the loop runs twice per turn while active, once right
// after the due timers and once before poll, outside any descriptor or timer
// callback. Within a pass the active calls run in ascending address order of
// their Dpc objects. One-shot use: Deactivate() from inside the call.

#include <memory>

class DpcHandler
{
public:
    virtual void Invoke() = 0;
    virtual ~DpcHandler() = default;
};

// Calls a plain function.
class DpcHandler1 : public DpcHandler
{
public:
    using Function = void (*)();
    explicit DpcHandler1(Function function) : function(function) {}
    void Invoke() override { function(); }

private:
    Function function;
};

// Calls object->member().
template <class X>
class TDpcHandler : public DpcHandler
{
public:
    using Member = void (X::*)();
    TDpcHandler(X* object, Member member) : object(object), member(member) {}
    void Invoke() override { (object->*member)(); }

private:
    X* object;
    Member member;
};

class Dpc
{
public:
    Dpc() = default;
    Dpc(const Dpc&) = delete;
    Dpc& operator=(const Dpc&) = delete;
    // Deactivates and deletes the handler (also from inside its own call).
    ~Dpc();

    // Takes ownership of the handler; the one bound before is deleted.
    void Bind(DpcHandler* newHandler) { handler.reset(newHandler); }
    template <class X>
    void Bind(X* object, void (X::*member)())
    {
        Bind(new TDpcHandler<X>(object, member));
    }

    void Activate();
    void Deactivate();
    bool IsActive() const { return active; }

    // Runs the handler when one is bound.
    void Invoke()
    {
        if (handler != nullptr)
            handler->Invoke();
    }

private:
    friend class Multiplexer;
    std::unique_ptr<DpcHandler> handler;
    bool active = false;
};
