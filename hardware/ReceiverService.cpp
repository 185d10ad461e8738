#include "hardware/ReceiverService.h"

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/BoardDevice.h"

namespace Hardware {

std::ostream& operator<<(std::ostream& os, const ErrnoSuffix& s)
{
    return os << " errno=\"" << std::strerror(s.error) << "\"";
}

ReceiverService::~ReceiverService() = default;

bool ReceiverService::openDevice(const char* path, int flags, const char* eventName, const char* failure)
{
    if (isOpen())
        return true;
    int fd = board_.open(path, flags);
    if (fd >= 0) {
        event_.Bind(eventName, &ReceiverService::OnEvent, this);
        // The event watches a duplicate; the descriptor opened here is closed.
        event_.Schedule(Fd(fd), POLLIN);
        if (isOpen())
            return true;
    }
    int error = errno;
    std::cerr << failure << std::strerror(error) << std::endl;
    return false;
}

bool ReceiverService::reopen(const char* failure, std::int64_t ts)
{
    if (!isOpen())
        init();
    if (isOpen())
        return true;
    std::cerr << failure << " timeslot=" << ts << std::endl;
    return false;
}

bool ReceiverService::readEvent(int fd, short revents, unsigned char* buffer, std::size_t size, const char* device)
{
    if ((revents & POLLIN) == 0)
        return false;
    ssize_t n = board_.read(fd, buffer, size);
    if (n < 0) {
        int error = errno;
        if (error != EAGAIN && error != EWOULDBLOCK)
            std::cerr << "fail to read from " << device << ": " << std::strerror(error) << std::endl;
        return false;
    }
    // The driver delivers whole events: anything shorter ends the turn.
    if (n < static_cast<ssize_t>(size)) {
        if (n > 0)
            std::cerr << "fail to read from " << device << ": short event of " << n << " bytes" << std::endl;
        return false;
    }
    return true;
}

std::uint32_t ReceiverService::nextId()
{
    if (++lastId_ == 0)
        lastId_ = 1;
    return lastId_;
}

} // namespace Hardware
