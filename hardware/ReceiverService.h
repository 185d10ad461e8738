#pragma once
// What the receiver services of the board's signal devices share: the device
// opened non-blocking and watched for events (opened again on demand), the
// request ids that wrap from 4294967295 to 1, and the reading of whole
// fixed-size events.
#include <cstddef>
#include <cstdint>
#include <ostream>

#include "runtime/CyclicList.h"
#include "runtime/Event.h"

class BoardDevice;

namespace Hardware {

// " errno=\"<text>\"" of a failed request.
struct ErrnoSuffix {
    int error;
};

std::ostream& operator<<(std::ostream& os, const ErrnoSuffix& s);

// The fields every event line of a service repeats; each service writes its
// own record's.
template <class Record>
struct EventFields {
    const Record& event;
};

template <class Record>
EventFields(const Record&) -> EventFields<Record>;

// The oldest live receiver whose time slot, compared as the event's type,
// is ts; null when there is none.
template <class Receiver, class TimeSlot>
Receiver* firstReceiverOf(TimeSlot ts, int (Receiver::*timeslotOf)() const)
{
    Containers::CyclicList& list = Receiver::receivers();
    for (Containers::CyclicList* node = list.next; node != &list; node = node->next) {
        Receiver* receiver = Receiver::fromLink(node);
        if (static_cast<TimeSlot>((receiver->*timeslotOf)()) == ts)
            return receiver;
    }
    return nullptr;
}

class ReceiverService {
public:
    virtual ~ReceiverService();
    ReceiverService(const ReceiverService&) = delete;
    ReceiverService& operator=(const ReceiverService&) = delete;

    // Opens the device and watches it for events; true when open.
    virtual bool init() = 0;
    // Reads and dispatches events until the device has none.
    virtual void OnEvent(int fd, short revents) = 0;

    bool isOpen() const { return event_.IsActive(); }
    const Event& eventForTest() const { return event_; }
    std::uint32_t lastIdForTest() const { return lastId_; }
    void setLastIdForTest(std::uint32_t id) { lastId_ = id; }

protected:
    explicit ReceiverService(BoardDevice& board) : board_(board) {}

    // Opens path when closed and watches it with OnEvent under eventName;
    // says "<failure><errno text>" when it stays closed.
    bool openDevice(const char* path, int flags, const char* eventName, const char* failure);
    // Opens the device again when closed; false (with "<failure> timeslot=ts")
    // when it stays closed.
    bool reopen(const char* failure, std::int64_t ts);
    // Reads the next whole event of size bytes into buffer; false when there
    // is none, saying "fail to read from <device>: ..." on a failed or short
    // read.
    bool readEvent(int fd, short revents, unsigned char* buffer, std::size_t size, const char* device);
    std::uint32_t nextId();

    BoardDevice& board_;
    Event event_;
    std::uint32_t lastId_ = 0;
};

} // namespace Hardware
