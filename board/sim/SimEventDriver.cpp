#include "board/sim/SimEventDriver.h"

#include <sys/socket.h>

#include <algorithm>

void SimEventDriver::opened(SimOpenFile& file)
{
    opens_.push_back(&file);
}

void SimEventDriver::closed(SimOpenFile& file)
{
    opens_.erase(std::remove(opens_.begin(), opens_.end(), &file), opens_.end());
}

bool SimEventDriver::sendBytes(const unsigned char* data, std::size_t size)
{
    bool all = !opens_.empty();
    for (SimOpenFile* file : opens_)
        all = ::send(file->peer, data, size, MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(size) && all;
    return all;
}
