#pragma once
// The daemon's one poll() loop. Components meet it through an Event per
// descriptor (runtime/Event.h), a Timer per deadline (runtime/Timer.h), a Dpc
// per piece of deferred work (runtime/Dpc.h) and a ChildWait per child
// (runtime/ChildWait.h). Everything runs on the loop's thread; any callback may
// attach, detach, arm, cancel, activate, deactivate or delete any
// registration, its own included.
//
// The multiplexer never owns handlers, timers or deferred calls: their owners
// unregister them (their destructors do).
#include <poll.h>

#include <csignal>
#include <cstdint>
#include <iosfwd>
#include <list>
#include <string>
#include <vector>

#include "runtime/F_dual_list.h"
#include "runtime/Measure.h"
#include "runtime/Timer.h"

class Dpc;

// Names of the set poll bits joined by "|" ("POLLIN|POLLOUT"); "" for 0.
std::string PollEventAsText(short mask);

// A participant of the loop: polled every turn while attached.
class EventHandler : public F_dual_list_item<EventHandler>
{
public:
    EventHandler() = default;
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;
    // Still attached at destruction: unregistered, so the loop never sees a
    // dead handler.
    virtual ~EventHandler();

    // Fills in the descriptor and the requested events of this turn's entry.
    virtual void shedule_event(pollfd& entry) = 0;
    // Services the handler with this turn's poll result (0 included).
    virtual void svc_event(short revents) = 0;
    virtual std::string event_name() const;
    // True for an Event, whose name, mask, counter and measure the dump shows.
    virtual bool is_named() const;

    void mux_attach();
    void mux_detach();
    void svc_event() { svc_event(revents); }

    bool is_attached() const { return attached; }

protected:
    bool attached = false;
    short revents = 0;

private:
    friend class Multiplexer;
    // The multiplexer list holding the handler (null when in none), so that
    // attach and detach need no search; and the handler's entry in the poll
    // set of the turn in progress (-1 when none).
    F_dual_list<EventHandler>* muxList = nullptr;
    int pollIndex = -1;
};

// An outside scheduler that tells the loop its next deadline.
class TimerPoolPlugin
{
public:
    TimerPoolPlugin() = default;
    TimerPoolPlugin(const TimerPoolPlugin&) = delete;
    TimerPoolPlugin& operator=(const TimerPoolPlugin&) = delete;
    virtual ~TimerPoolPlugin();
    // Milliseconds to the next deadline, negative for none.
    virtual int timerPoll() = 0;

    void timerHook();
    void timerUnhook();
    bool isHooked() const { return hooked; }

private:
    friend class Multiplexer;
    bool hooked = false;
};

class Multiplexer
{
public:
    // Implemented by the guard of a plug-in pass, which must also forget a
    // plug-in that is unhooked while the pass runs.
    class TimerPollNotify
    {
    public:
        virtual ~TimerPollNotify() = default;
        virtual void removeTimerPoolPlugin(TimerPoolPlugin* plugin) = 0;
    };

    using PollFunction = int (*)(pollfd* fds, nfds_t count, int timeout);

    Multiplexer();
    Multiplexer(const Multiplexer&) = delete;
    Multiplexer& operator=(const Multiplexer&) = delete;
    // Unregisters whatever is still registered (without deleting it), so that
    // owners destroyed later at exit find themselves unregistered.
    ~Multiplexer();

    // Runs turns until terminate(). use_watchdog: open, ping and stop the
    // watchdog; no_time_cache: every clock read asks the system, otherwise
    // the loop time is cached and refreshed after each poll.
    void run(bool use_watchdog, bool no_time_cache);
    // A plain flag store: safe from a signal handler.
    void terminate() { terminateFlag = 1; }

    void attach(EventHandler* handler);
    void detach(EventHandler* handler);

    void set(TimerEvent* event);
    void reset(TimerEvent* event);

    void attach(Dpc* dpc);
    void dettach(Dpc* dpc);
    void execute_dpc();

    void hook(TimerPoolPlugin* plugin);
    void unhook(TimerPoolPlugin* plugin);

    // Fires due timers, runs a deferred-call pass; returns the wait to the
    // first pending expiry in ms (0 for none).
    unsigned timers_schedule();
    // The smallest non-negative plug-in deadline, 2147483647 for none.
    int timerPoll_schedule();

    void dump(std::ostream& os) const;
    void resetWD();
    // Pings the watchdog when a second has passed since the last ping of the
    // loop (or the clock went back): after every turn, and from work that can
    // keep a turn busy for longer.
    void pingWhenDue();

    // Test seams: run a single turn (time cache off, no watchdog unless run
    // opened it); replace poll(); look at the loop's state.
    void runTurnForTest();
    void setPollForTest(PollFunction function) { pollFunction = function ? function : ::poll; }
    unsigned attachedCountForTest() const { return newList.size() + lists[0].size() + lists[1].size(); }
    unsigned activeCountForTest() const { return active->size(); }
    unsigned timerCountForTest() const { return timers.size(); }
    unsigned dpcCountForTest() const { return static_cast<unsigned>(dpcActive.size()); }
    unsigned pluginCountForTest() const { return static_cast<unsigned>(plugins.size()); }
    bool watchdogOpenForTest() const { return watchdog >= 0; }
    void resetMeasuresForTest();
    // Lists linked both ways, every handler knowing its list, no poll entry
    // pointing at a detached handler, timers in order, deferred calls sorted.
    bool invariantForTest() const;

private:
    class PluginPass;

    void turn();
    void join();
    void buildPollSet();
    int pollTimeout(int pluginWait);
    // first - now; above two hours it is reported, every pending event is
    // made due a second later and the wait is that second.
    std::uint32_t saneWait(std::uint32_t now, std::uint32_t first);
    void service();
    void openWatchdog();
    void closeWatchdog();
    void writeWatchdog(const char* text, unsigned length, const char* failure);

    F_sorted_list<TimerEvent> timers;

    // The active and the serviced list swap roles after each service pass
    // instead of swapping contents, so a handler's muxList stays valid.
    F_dual_list<EventHandler> newList;
    F_dual_list<EventHandler> lists[2];
    F_dual_list<EventHandler>* serviced = &lists[0];
    F_dual_list<EventHandler>* active = &lists[1];

    // Poll set of the turn in progress and the handler of each entry (null
    // once that handler is detached).
    std::vector<pollfd> pollSet;
    std::vector<EventHandler*> pollOwners;
    unsigned pollLive = 0;

    // Active deferred calls in ascending address order, and the ones still
    // to run in the pass in progress (a sorted snapshot, from dpcNext on).
    // Vectors keep their capacity, so a pass allocates nothing.
    std::vector<Dpc*> dpcActive;
    std::vector<Dpc*> dpcWork;
    std::size_t dpcNext = 0;

    volatile std::sig_atomic_t terminateFlag = 0;

    Measure dpcMeasure;
    Measure eventMeasure;
    Measure timerMeasure;

    std::list<TimerPoolPlugin*> plugins;
    TimerPollNotify* pluginPass = nullptr;

    int watchdog = -1;
    bool noTimeCache = true;
    std::uint32_t lastPing = 0;
    PollFunction pollFunction = ::poll;
};

extern Multiplexer multiplexer;
