#include "runtime/Multiplexer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>

#include "runtime/Dpc.h"
#include "runtime/Event.h"
#include "runtime/FixedPath.h"
#include "runtime/Mux.h"
#include "runtime/Profile.h"
#include "runtime/Table.h"

Multiplexer multiplexer;

namespace {

const int noDeadline = INT_MAX;
// The longest sane wait to the first timer; a longer one means the clock
// went back (or an event armed that far is first) and every pending event
// is made due a second later.
const std::uint32_t longestWait = 7200000;
const std::uint32_t recoveryWait = 1000;
// While the watchdog is open, poll waits at most this long, so that "PING"
// goes out about once a second.
const int watchdogPeriod = 1000;

struct PollBit
{
    short bit;
    const char* name;
};

const PollBit pollBits[] = {
    {0x1, "POLLIN"},      {0x2, "POLLPRI"},     {0x4, "POLLOUT"},     {0x8, "POLLERR"},
    {0x10, "POLLHUP"},    {0x20, "POLLNVAL"},   {0x40, "POLLRDNORM"}, {0x80, "POLLRDBAND"},
    {0x100, "POLLWRNORM"}, {0x200, "POLLWRBAND"}, {0x400, "POLLMSG"},
};

bool dpcBefore(const Dpc* a, const Dpc* b)
{
    return std::less<const Dpc*>()(a, b);
}

} // namespace

std::string PollEventAsText(short mask)
{
    std::string text;
    for (const PollBit& entry : pollBits) {
        if ((mask & entry.bit) == 0)
            continue;
        if (!text.empty())
            text += '|';
        text += entry.name;
    }
    return text;
}

// EventHandler

EventHandler::~EventHandler()
{
    if (muxList != nullptr)
        multiplexer.detach(this);
}

std::string EventHandler::event_name() const
{
    return "unknown";
}

bool EventHandler::is_named() const
{
    return false;
}

void EventHandler::mux_attach()
{
    if (!attached) {
        multiplexer.attach(this);
        attached = true;
    }
}

void EventHandler::mux_detach()
{
    if (attached) {
        multiplexer.detach(this);
        attached = false;
    }
}

// TimerPoolPlugin

TimerPoolPlugin::~TimerPoolPlugin()
{
    timerUnhook();
}

void TimerPoolPlugin::timerHook()
{
    if (!hooked) {
        multiplexer.hook(this);
        hooked = true;
    }
}

void TimerPoolPlugin::timerUnhook()
{
    if (hooked) {
        multiplexer.unhook(this);
        hooked = false;
    }
}

// The guard of one plug-in pass: holds the plug-ins still to be asked.
class Multiplexer::PluginPass : public Multiplexer::TimerPollNotify
{
public:
    explicit PluginPass(Multiplexer& mux) : mux(mux)
    {
        pending.splice(pending.end(), mux.plugins);
        mux.pluginPass = this;
    }
    ~PluginPass() override
    {
        mux.pluginPass = nullptr;
        mux.plugins.splice(mux.plugins.end(), pending);
    }

    int run()
    {
        int result = noDeadline;
        while (!pending.empty()) {
            TimerPoolPlugin* plugin = pending.front();
            mux.plugins.splice(mux.plugins.end(), pending, pending.begin());
            // May unhook or delete any plug-in, itself included.
            int deadline = plugin->timerPoll();
            if (deadline >= 0 && deadline < result)
                result = deadline;
        }
        return result;
    }

    void removeTimerPoolPlugin(TimerPoolPlugin* plugin) override
    {
        pending.remove(plugin);
        mux.plugins.remove(plugin);
    }

private:
    Multiplexer& mux;
    std::list<TimerPoolPlugin*> pending;
};

// Multiplexer

Multiplexer::Multiplexer() = default;

Multiplexer::~Multiplexer()
{
    for (F_dual_list<EventHandler>* list : {&newList, &lists[0], &lists[1]}) {
        while (EventHandler* handler = list->remove_from_head()) {
            handler->muxList = nullptr;
            handler->pollIndex = -1;
            handler->attached = false;
        }
    }
    while (TimerEvent* event = timers.remove_from_head())
        event->pending = false;
    for (Dpc* dpc : dpcActive)
        dpc->active = false;
    for (TimerPoolPlugin* plugin : plugins)
        plugin->hooked = false;
}

void Multiplexer::attach(EventHandler* handler)
{
    if (handler->muxList != nullptr) {
        std::cerr << "duplicate multiplexer attach \"" << handler->event_name() << "\" ignored." << std::endl;
        return;
    }
    newList.insert_to_tail(handler);
    handler->muxList = &newList;
}

void Multiplexer::detach(EventHandler* handler)
{
    if (handler->muxList == nullptr) {
        std::cerr << "indvalid Multiplexer::detach " << handler->event_name() << std::endl;
        return;
    }
    handler->muxList->remove(handler);
    handler->muxList = nullptr;
    // Its entry of the turn in progress must not deliver to it any more, and
    // poll must not look at a descriptor its owner may be closing.
    if (handler->pollIndex >= 0) {
        std::size_t index = static_cast<std::size_t>(handler->pollIndex);
        pollOwners[index] = nullptr;
        pollSet[index].fd = -1;
        --pollLive;
        handler->pollIndex = -1;
    }
}

void Multiplexer::set(TimerEvent* event)
{
    reset(event);
    timers.insert_to_tail_by_grown(event);
    event->pending = true;
}

void Multiplexer::reset(TimerEvent* event)
{
    if (event->pending) {
        timers.remove(event);
        event->pending = false;
    }
}

void Multiplexer::attach(Dpc* dpc)
{
    auto position = std::lower_bound(dpcActive.begin(), dpcActive.end(), dpc, dpcBefore);
    if (position == dpcActive.end() || *position != dpc)
        dpcActive.insert(position, dpc);
}

void Multiplexer::dettach(Dpc* dpc)
{
    auto position = std::lower_bound(dpcActive.begin(), dpcActive.end(), dpc, dpcBefore);
    if (position != dpcActive.end() && *position == dpc)
        dpcActive.erase(position);
    // The rest of the pass in progress is a sorted snapshot as well.
    if (dpcNext < dpcWork.size()) {
        auto rest = dpcWork.begin() + static_cast<std::ptrdiff_t>(dpcNext);
        auto found = std::lower_bound(rest, dpcWork.end(), dpc, dpcBefore);
        if (found != dpcWork.end() && *found == dpc)
            dpcWork.erase(found);
    }
}

void Multiplexer::execute_dpc()
{
    // Copying into the kept capacity allocates nothing once it has grown.
    dpcWork.assign(dpcActive.begin(), dpcActive.end());
    dpcNext = 0;
    // Index, not iterator: a call may deactivate (erase) later ones, or
    // delete its own Dpc.
    while (dpcNext < dpcWork.size()) {
        Dpc* dpc = dpcWork[dpcNext++];
        dpcMeasure.begin();
        dpc->Invoke();
        dpcMeasure.end();
    }
    dpcWork.clear();
    dpcNext = 0;
}

void Multiplexer::hook(TimerPoolPlugin* plugin)
{
    plugins.push_back(plugin);
}

void Multiplexer::unhook(TimerPoolPlugin* plugin)
{
    if (pluginPass != nullptr)
        pluginPass->removeTimerPoolPlugin(plugin);
    else
        plugins.remove(plugin);
}

unsigned Multiplexer::timers_schedule()
{
    const std::uint32_t now = Mux::milliseconds();
    // Each callback may cancel or delete any other timer, so the head is
    // read again after every firing.
    while (TimerEvent* head = timers.first()) {
        if (static_cast<std::int32_t>(now - head->expiry) < 0)
            break;
        timers.remove(head);
        head->pending = false;
        timerMeasure.begin();
        head->fire();   // may delete head
        timerMeasure.end();
    }

    execute_dpc();

    return saneWait(now, timers.empty() ? now : timers.first()->expiry);
}

std::uint32_t Multiplexer::saneWait(std::uint32_t now, std::uint32_t first)
{
    const std::uint32_t wait = first - now;
    if (wait <= longestWait)
        return wait;

    std::cerr << "******** RUNTIME ERROR CONDITION *************"
              << "Multiplexer::timers_schedule() invalid wait time detected!\n"
              << "now = " << now << '\n'
              << "first = " << first << '\n'
              << "count = " << timers.size() << '\n';
    for (TimerEvent& event : timers)
        event.expiry = now + recoveryWait;
    return recoveryWait;
}

int Multiplexer::timerPoll_schedule()
{
    PluginPass pass(*this);
    return pass.run();
}

void Multiplexer::join()
{
    while (EventHandler* handler = newList.remove_from_head()) {
        active->insert_to_tail(handler);
        handler->muxList = active;
    }
}

void Multiplexer::buildPollSet()
{
    const std::size_t count = active->size();
    if (pollSet.size() != count) {
        pollSet.resize(count);
        pollOwners.resize(count);
    }
    std::size_t index = 0;
    for (EventHandler& handler : *active) {
        pollfd& entry = pollSet[index];
        entry.fd = -1;
        entry.events = 0;
        entry.revents = 0;
        handler.shedule_event(entry);
        pollOwners[index] = &handler;
        handler.pollIndex = static_cast<int>(index);
        ++index;
    }
    pollLive = static_cast<unsigned>(count);
}

// The wait is taken after the second deferred-call pass, so that a timer armed
// there counts, with the same two-hour check as in the timer step; a timer
// already due means no waiting at all.
int Multiplexer::pollTimeout(int pluginWait)
{
    int timeout = -1;
    if (const TimerEvent* head = timers.first()) {
        const std::uint32_t now = Mux::milliseconds();
        const bool due = static_cast<std::int32_t>(head->expiry - now) <= 0;
        timeout = due ? 0 : static_cast<int>(saneWait(now, head->expiry));
    }
    if (pluginWait >= 0 && pluginWait != noDeadline && (timeout < 0 || pluginWait < timeout))
        timeout = pluginWait;
    return timeout;
}

void Multiplexer::service()
{
    for (std::size_t index = 0; index < pollOwners.size(); ++index) {
        if (EventHandler* handler = pollOwners[index])
            handler->revents = pollSet[index].revents;
    }
    // A handler is moved before its callback runs, so the callback may detach
    // or delete it, or any other handler: nothing is held across the call.
    while (terminateFlag == 0) {
        EventHandler* handler = active->remove_from_head();
        if (handler == nullptr)
            break;
        serviced->insert_to_tail(handler);
        handler->muxList = serviced;
        eventMeasure.begin();
        handler->svc_event();   // may delete handler
        eventMeasure.end();
    }
    // Handlers left unserviced by terminate() follow the serviced ones, so
    // the active list keeps its order.
    while (EventHandler* handler = active->remove_from_head()) {
        serviced->insert_to_tail(handler);
        handler->muxList = serviced;
    }
    std::swap(active, serviced);
}

void Multiplexer::turn()
{
    timers_schedule();
    if (terminateFlag != 0)
        return;
    const int pluginWait = timerPoll_schedule();
    if (terminateFlag != 0)
        return;

    join();
    buildPollSet();
    execute_dpc();
    if (terminateFlag != 0)
        return;

    int timeout = pollTimeout(pluginWait);
    // A handler attached by the second pass is first polled next turn: not a hang.
    if (timeout < 0 && pollLive == 0 && !newList.empty())
        timeout = 0;
    if (timeout < 0 && pollLive == 0) {
        std::cerr << "multiplexer: system hang detected!!!" << std::endl;
        std::abort();
    }
    if (watchdog >= 0 && (timeout < 0 || timeout > watchdogPeriod))
        timeout = watchdogPeriod;

    const int ready = pollFunction(pollSet.data(), static_cast<nfds_t>(pollSet.size()), timeout);
    const int pollError = errno;
    if (!noTimeCache)
        Mux::mux_settimeofday();

    pingWhenDue();

    if (ready == 0)
        return;
    if (ready < 0) {
        if (pollError == EINTR)
            return;
        std::cerr << "multiplexer poll failed: " << std::strerror(pollError) << std::endl;
        std::abort();
    }
    service();
}

void Multiplexer::run(bool use_watchdog, bool no_time_cache)
{
    terminateFlag = 0;
    lastPing = 0;
    noTimeCache = no_time_cache;
    if (use_watchdog)
        openWatchdog();
    if (!no_time_cache)
        Mux::mux_settimeofday();

    while (terminateFlag == 0)
        turn();

    std::clog << "Mux: terminating..." << std::endl;
    closeWatchdog();
}

void Multiplexer::runTurnForTest()
{
    terminateFlag = 0;
    noTimeCache = true;
    turn();
}

void Multiplexer::openWatchdog()
{
    const std::string path = fixedPath("/dev/misc/gw-wd");
    // Non-blocking: a FIFO there without a reader fails here instead of
    // holding the loop before its first turn.
    watchdog = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (watchdog < 0) {
        std::cerr << "Mux: fail to open watchdog: " << std::strerror(errno) << std::endl;
        return;
    }
    if (::write(watchdog, "START", 5) < 0) {
        std::cerr << "Mux: fail to activate watchdog: " << std::strerror(errno) << std::endl;
        ::close(watchdog);
        watchdog = -1;
    }
}

void Multiplexer::closeWatchdog()
{
    if (watchdog < 0)
        return;
    if (::write(watchdog, "STOP", 4) < 0)
        std::cerr << "Mux: stop watchdog failed: " << std::strerror(errno) << std::endl;
    ::close(watchdog);
    watchdog = -1;
}

void Multiplexer::pingWhenDue()
{
    const std::uint32_t now = Mux::milliseconds();
    if (lastPing == 0 || now < lastPing || now - lastPing >= watchdogPeriod) {
        lastPing = now;
        resetWD();
    }
}

void Multiplexer::resetWD()
{
    if (watchdog >= 0 && ::write(watchdog, "PING", 4) < 0)
        std::cerr << "Mux: ping watchdog failed: " << std::strerror(errno) << std::endl;
}

bool Multiplexer::invariantForTest() const
{
    for (const F_dual_list<EventHandler>* list : {&newList, &lists[0], &lists[1]}) {
        if (!list->valid())
            return false;
        for (const EventHandler& handler : *list) {
            if (handler.muxList != list)
                return false;
        }
    }
    if (!serviced->empty())
        return false;
    for (std::size_t index = 0; index < pollOwners.size(); ++index) {
        const EventHandler* owner = pollOwners[index];
        if (owner != nullptr && (owner->muxList == nullptr || owner->pollIndex != static_cast<int>(index)))
            return false;
    }
    if (!timers.valid())
        return false;
    const TimerEvent* previous = nullptr;
    for (const TimerEvent& event : timers) {
        if (!event.pending || (previous != nullptr && previous->compare(event) > 0))
            return false;
        previous = &event;
    }
    return std::is_sorted(dpcActive.begin(), dpcActive.end(), dpcBefore)
        && std::adjacent_find(dpcActive.begin(), dpcActive.end()) == dpcActive.end();
}

void Multiplexer::dump(std::ostream& os) const
{
    os << "dpc transition measurement (min/max/cur/counter): ";
    dpcMeasure.put(os);
    os << '\n' << "event transition measurement (min/max/cur/counter): ";
    eventMeasure.put(os);
    os << '\n' << "timer transition measurement (min/max/cur/counter): ";
    timerMeasure.put(os);
    os << '\n';
    Profile::dump(os);

    ext::Table table(40, 30, 10, 10, 5, 60);
    {
        ext::Table::Sentry out(os, table);
        out << ext::delimeter;
        out << "name" << ext::nextrow << "events" << ext::nextrow << "count" << ext::nextrow << "handler"
            << ext::nextrow << "fd" << ext::nextrow << "measure" << ext::nextrow;
        out << ext::delimeter;
        for (const EventHandler& handler : *active) {
            if (!handler.is_named())
                continue;
            const Event& event = static_cast<const Event&>(handler);
            out << ext::beginrow;
            out << event.getName() << ext::nextrow << PollEventAsText(event.getEvents()) << ext::nextrow
                << event.getCount() << ext::nextrow << (event.isBound() ? "attached" : "unattached")
                << ext::nextrow << event.getFd() << ext::nextrow << event.getMeasure() << ext::nextrow;
        }
        out << ext::delimeter;
    }
    os << std::endl;
}

void Multiplexer::resetMeasuresForTest()
{
    dpcMeasure = Measure();
    eventMeasure = Measure();
    timerMeasure = Measure();
}
