#include "board/sim/SimMcc.h"

#include <sys/socket.h>

#include <cerrno>

#include "board/sim/SimBoard.h"

SimMcc& SimMcc::of(const SimBoard& board)
{
    return static_cast<SimMcc&>(*board.driver("/dev/mcc/ctl"));
}

SimMcc::SimMcc()
{
    used_.fill(false);
}

void SimMcc::opened(SimOpenFile& file)
{
    channels_[&file] = Channel{};
}

void SimMcc::closed(SimOpenFile& file)
{
    auto it = channels_.find(&file);
    if (it == channels_.end())
        return;
    if (it->second.allocated())
        used_[static_cast<std::size_t>(it->second.number)] = false;
    channels_.erase(it);
}

int SimMcc::ioctl(SimOpenFile& file, std::uint32_t code, unsigned char* record, std::size_t, int& error)
{
    if (code != MCC_ALLOCATE) {
        error = ENOTTY;
        return -1;
    }
    Channel& ch = channels_[&file];
    if (ch.allocated()) {
        error = EBUSY;
        return -1;
    }
    for (int n = 0; n < kChannels; ++n) {
        if (!used_[static_cast<std::size_t>(n)]) {
            used_[static_cast<std::size_t>(n)] = true;
            ch.number = n;
            ch.settings = Mcc::AllocateRecord::decode(record);
            return 0;
        }
    }
    error = EBUSY;
    return -1;
}

int SimMcc::ioctlValue(SimOpenFile& file, std::uint32_t code, long, int& error)
{
    if (code != MCC_TIMESLOT) {
        error = ENOTTY;
        return -1;
    }
    const Channel* ch = channel(file);
    if (ch == nullptr || !ch->allocated()) {
        error = EINVAL;
        return -1;
    }
    return ch->timeSlot();
}

const SimMcc::Channel* SimMcc::channel(const SimOpenFile& file) const
{
    auto it = channels_.find(const_cast<SimOpenFile*>(&file));
    return it == channels_.end() ? nullptr : &it->second;
}

SimOpenFile* SimMcc::fileOfTimeSlot(int slot) const
{
    for (const auto& entry : channels_)
        if (entry.second.allocated() && entry.second.timeSlot() == slot)
            return entry.first;
    return nullptr;
}

unsigned SimMcc::allocatedCount() const
{
    unsigned count = 0;
    for (bool used : used_)
        count += used ? 1 : 0;
    return count;
}

bool SimMcc::injectFrame(SimOpenFile& file, const std::vector<unsigned char>& frame)
{
    const Channel* ch = channel(file);
    if (ch == nullptr || !ch->allocated())
        return false;
    return ::send(file.peer, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL)
        == static_cast<ssize_t>(frame.size());
}

std::vector<unsigned char> SimMcc::takeFrame(SimOpenFile& file)
{
    static unsigned char buffer[65536];
    ssize_t n = ::recv(file.peer, buffer, sizeof buffer, MSG_DONTWAIT);
    return n > 0 ? std::vector<unsigned char>(buffer, buffer + n) : std::vector<unsigned char>();
}
