#include "board/sim/SimCas.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

void SimCas::opened(SimOpenFile& file)
{
    files_.push_back(&file);
}

void SimCas::closed(SimOpenFile& file)
{
    files_.erase(std::remove(files_.begin(), files_.end(), &file), files_.end());
}

int SimCas::ioctlValue(SimOpenFile&, std::uint32_t code, long value, int& error)
{
    if (code != Cas::kOpenTrunk && code != Cas::kCloseTrunk) {
        error = ENOTTY;
        return -1;
    }
    if (value < 0 || value >= kTrunks) {
        error = EINVAL;
        return -1;
    }
    std::size_t t = static_cast<std::size_t>(value);
    open_[t] = code == Cas::kOpenTrunk;
    if (!open_[t])
        for (Slot& s : slots_[t])
            s.enabled = false;
    return 0;
}

int SimCas::ioctl(SimOpenFile&, std::uint32_t code, unsigned char* record, std::size_t, int& error)
{
    if (code != Cas::kSetBits && code != Cas::kGetBits && code != Cas::kSlot) {
        error = ENOTTY;
        return -1;
    }
    Cas::Channel c = Cas::Channel::decode(record);
    if (!validChannel(c)) {
        error = EINVAL;
        return -1;
    }
    if (!open_[static_cast<std::size_t>(c.path)]) {
        error = ENXIO;
        return -1;
    }
    Slot& s = slotOf(c);
    switch (code) {
    case Cas::kSetBits:
        s.tx = c.tx & 15;
        return 0;
    case Cas::kGetBits:
        c.rx = s.rx;
        c.tx = s.tx;
        {
            Cas::Channel::Bytes out = c.encode();
            std::copy(out.begin(), out.end(), record);
        }
        return 0;
    default: {
        Cas::SlotRecord r = Cas::SlotRecord::decode(record);
        if (r.action != Cas::SlotRecord::kEnable && r.action != Cas::SlotRecord::kDisable) {
            error = EINVAL;
            return -1;
        }
        s.enabled = r.action == Cas::SlotRecord::kEnable;
        if (s.enabled)
            s.tx = c.tx & 15;
        return 0;
    }
    }
}

bool SimCas::changeRx(int trunk, int timeslot, unsigned char rx)
{
    Cas::Channel c{trunk, timeslot, static_cast<unsigned char>(rx & 15), 0};
    Slot& s = slots_.at(static_cast<std::size_t>(trunk)).at(static_cast<std::size_t>(timeslot));
    s.rx = c.rx;
    if (!open_.at(static_cast<std::size_t>(trunk)) || !s.enabled)
        return false;
    c.tx = s.tx;
    Cas::Channel::Bytes event = c.encode();
    sendEvent(event.data(), event.size());
    return !files_.empty();
}

void SimCas::sendEvent(const void* data, std::size_t size)
{
    for (SimOpenFile* file : files_)
        ::send(file->peer, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
}
