#include "hardware/HwMux.h"

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "board/BoardDevice.h"
#include "board/HalRecords.h"
#include "runtime/Fd.h"

namespace {

const char* const kDevice = "/dev/hal";

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
    return text;
}

} // namespace

HwMux& HwMux::instance()
{
    static HwMux mux;
    return mux;
}

HwMux::HwMux() : HwMux(BoardDevice::get()) {}

HwMux::HwMux(BoardDevice& board) : board_(board)
{
    std::clog << "hwMux: init" << std::endl;
    IsOpened();
    // A successful open above has already activated the refresh call.
    refresh_.Bind<HwMux>(this, &HwMux::OnDPC);
}

HwMux::~HwMux()
{
    if (fd_ >= 0)
        board_.close(fd_);
    refresh_.Deactivate();
}

bool HwMux::IsOpened()
{
    if (fd_ >= 0)
        return true;
    fd_ = board_.open(kDevice, O_RDWR);
    if (fd_ < 0) {
        std::clog << "hwMux: can't open device: " << std::strerror(errno) << std::endl;
        return false;
    }
    SetCloexec(fd_, true);
    std::clog << "hwMux: device opened" << std::endl;
    for (unsigned i = 0; i < kBusOutputs; ++i) {
        sendDisable(Hal::kBusBase + static_cast<int>(i));
        table_[i] = kDisabled;
    }
    cursor_ = 0;
    refresh_.Activate();
    ::usleep(500);
    return true;
}

// Only the shared bus 8192..10239 has entries; other channels go to the driver untracked.
void HwMux::track(int ch, std::uint16_t entry)
{
    if (ch >= Hal::kBusBase && ch < Hal::kChannels)
        table_[static_cast<unsigned>(ch - Hal::kBusBase)] = entry;
}

bool HwMux::sendDisable(int ch)
{
    Hal::DisableRecord::Bytes rec = Hal::DisableRecord{ch}.encode();
    return board_.ioctl(fd_, Hal::kDisable, rec.data(), rec.size()) >= 0;
}

bool HwMux::Connect(int src, int dst)
{
    if (!IsOpened()) {
        std::clog << "hwMux: ERROR not opened" << std::endl;
        return false;
    }
    if (src < 0 || dst < 0)
        return false;
    // A source that does not fit below the two markers is recorded as "not
    // disabled", so the sweep still leaves the output alone.
    track(dst, src < kConstant ? static_cast<std::uint16_t>(src) : kConstant);
    Hal::ConnectRecord::Bytes rec = Hal::ConnectRecord{dst, src}.encode();
    if (board_.ioctl(fd_, Hal::kConnect, rec.data(), rec.size()) < 0) {
        int error = errno;
        std::clog << "hwMux: connect " << src << " -> " << dst << " failed: " << std::strerror(error)
                  << std::endl;
        return false;
    }
    return true;
}

bool HwMux::Disconnect(int ch)
{
    if (!IsOpened() || ch < 0)
        return false;
    track(ch, kConstant);
    Hal::ByteRecord::Bytes rec = Hal::ByteRecord{ch, kIdle}.encode();
    if (board_.ioctl(fd_, Hal::kWrite, rec.data(), rec.size()) < 0) {
        int error = errno;
        std::clog << "hwMux: disconnect failed " << ch << " : " << std::strerror(error) << std::endl;
        return false;
    }
    return true;
}

bool HwMux::Disable(int ch)
{
    if (!IsOpened() || ch < 0)
        return false;
    track(ch, kDisabled);
    if (!sendDisable(ch)) {
        int error = errno;
        std::clog << "hwMux: disable failed " << ch << " : " << std::strerror(error) << std::endl;
        return false;
    }
    return true;
}

bool HwMux::Write(int ch, unsigned char value)
{
    if (!IsOpened() || ch < 0)
        return false;
    track(ch, kConstant);
    Hal::ByteRecord::Bytes rec = Hal::ByteRecord{ch, value}.encode();
    if (board_.ioctl(fd_, Hal::kWrite, rec.data(), rec.size()) < 0) {
        int error = errno;
        std::clog << "hwMux: write failed " << ch << " <- 0x" << hex(value) << " : " << std::strerror(error)
                  << std::endl;
        return false;
    }
    return true;
}

unsigned char HwMux::Read(int ch)
{
    if (!IsOpened() || ch < 0)
        return 0xFF;
    Hal::ByteRecord::Bytes rec = Hal::ByteRecord{ch, 0xFF}.encode();
    int result = board_.ioctl(fd_, Hal::kRead, rec.data(), rec.size());
    int error = errno;
    std::int32_t word = Hal::ByteRecord::decode(rec.data()).value;
    if (result < 0) {
        std::clog << "hwMux: read failed " << ch << " -> 0x" << hex(static_cast<std::uint32_t>(word)) << " : "
                  << std::strerror(error) << std::endl;
        return 0xFF;
    }
    return static_cast<unsigned char>(word & 0xFF);
}

void HwMux::Reset() {}

void HwMux::RefreshChannel(int i)
{
    if (i >= 0 && i < static_cast<int>(kBusOutputs) && table_[static_cast<unsigned>(i)] == kDisabled)
        sendDisable(Hal::kBusBase + i);
}

// RefreshChannel for the next 128 outputs; the disables go to the board as
// one run of requests, in the same order (every turn sweeps twice).
void HwMux::OnDPC()
{
    if (fd_ < 0)
        return;
    std::array<Hal::DisableRecord::Bytes, kSweepLength> records;
    std::size_t count = 0;
    std::uint32_t cursor = cursor_;
    for (unsigned n = 0; n < kSweepLength; ++n) {
        if (++cursor >= kBusOutputs)
            cursor = 0;
        if (table_[cursor] == kDisabled)
            records[count++] = Hal::DisableRecord{Hal::kBusBase + static_cast<int>(cursor)}.encode();
    }
    cursor_ = cursor;
    board_.ioctlEach(fd_, Hal::kDisable, records[0].data(), Hal::DisableRecord::kSize, count);
}

void print_trace()
{
    void* frames[10];
    int count = ::backtrace(frames, 10);
    char** symbols = ::backtrace_symbols(frames, count);
    std::printf("Obtained %zd stack frames.\n", static_cast<ssize_t>(count));
    if (symbols != nullptr) {
        for (int i = 0; i < count; ++i)
            std::puts(symbols[i]);
        std::free(symbols);
    }
}
