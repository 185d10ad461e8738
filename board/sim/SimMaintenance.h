#pragma once
// Model of "/dev/maintenance": the status record of each of the four E1
// trunks, settable by tests byte for byte, and the transmit-clock mask with
// the history of every mask written. A status request for a trunk outside
// 0..3 is refused with EINVAL; a trunk can be made to fail with an errno.
#include <array>
#include <cstdint>
#include <vector>

#include "board/E1Records.h"
#include "board/sim/SimDriver.h"

class SimMaintenance : public SimDriver {
public:
    static constexpr int kTrunks = E1::kTrunks;
    using Record = Maintenance::TrunkStatusRecord::Bytes;

    SimMaintenance();

    int ioctl(SimOpenFile& file, std::uint32_t code, unsigned char* record, std::size_t size,
              int& error) override;
    int ioctlValue(SimOpenFile& file, std::uint32_t code, long value, int& error) override;

    // The record a status request answers; the trunk word at offset 0 is the
    // request's own.
    void setStatus(int trunk, const Maintenance::TrunkStatusRecord& status);
    void setStatusBytes(int trunk, const Record& bytes) { status_.at(static_cast<std::size_t>(trunk)) = bytes; }
    // Status requests for the trunk fail with error until cleared with 0.
    void failTrunk(int trunk, int error) { errors_.at(static_cast<std::size_t>(trunk)) = error; }

    std::uint32_t tclk() const { return tclk_; }
    const std::vector<std::uint32_t>& tclkHistory() const { return history_; }

private:
    std::array<Record, kTrunks> status_;
    std::array<int, kTrunks> errors_;
    std::uint32_t tclk_ = 0;
    std::vector<std::uint32_t> history_;
};
