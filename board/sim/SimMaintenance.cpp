#include "board/sim/SimMaintenance.h"

#include <algorithm>
#include <cerrno>

#include "board/BigEndian.h"

SimMaintenance::SimMaintenance()
{
    for (int t = 0; t < kTrunks; ++t) {
        Maintenance::TrunkStatusRecord r;
        r.trunk = t;
        status_[static_cast<std::size_t>(t)] = r.encode();
    }
    errors_.fill(0);
}

void SimMaintenance::setStatus(int trunk, const Maintenance::TrunkStatusRecord& status)
{
    status_.at(static_cast<std::size_t>(trunk)) = status.encode();
}

int SimMaintenance::ioctl(SimOpenFile&, std::uint32_t code, unsigned char* record, std::size_t, int& error)
{
    if (code != Maintenance::kTrunkStatus) {
        error = ENOTTY;
        return -1;
    }
    std::int32_t trunk = BigEndian::getI32(record);
    if (trunk < 0 || trunk >= kTrunks) {
        error = EINVAL;
        return -1;
    }
    std::size_t t = static_cast<std::size_t>(trunk);
    if (errors_[t] != 0) {
        error = errors_[t];
        return -1;
    }
    std::copy(status_[t].begin() + 4, status_[t].end(), record + 4);
    return 0;
}

int SimMaintenance::ioctlValue(SimOpenFile&, std::uint32_t code, long value, int& error)
{
    if (code != Maintenance::kTclk) {
        error = ENOTTY;
        return -1;
    }
    tclk_ = static_cast<std::uint32_t>(value);
    history_.push_back(tclk_);
    return 0;
}
