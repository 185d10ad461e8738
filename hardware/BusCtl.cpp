#include "hardware/BusCtl.h"

#include <fcntl.h>

#include <iostream>

#include "asn1/modules/LGCP.h"
#include "board/BoardDevice.h"
#include "board/SpiRecords.h"
#include "hardware/spiCtrl.h"
#include "runtime/ExtStream.h"
#include "runtime/Fd.h"

namespace {

const char* const kDevice = "/dev/hal";

const char* const kClockNames[] = {"f0", "f1", "f2", "f3", "freerun", "X3", "?1", "?2"};

} // namespace

BusCtl& BusCtl::instance()
{
    static BusCtl bus;
    return bus;
}

BusCtl::BusCtl() : BusCtl(BoardDevice::get(), nullptr) {}

BusCtl::BusCtl(BoardDevice& board, spiCtrl* spi) : board_(board), spi_(spi) {}

BusCtl::~BusCtl()
{
    if (fd_ >= 0)
        board_.close(fd_);
}

const char* BusCtl::getclksrc_text(int code)
{
    if (code < 0 || code >= static_cast<int>(sizeof kClockNames / sizeof kClockNames[0]))
        return "?";
    return kClockNames[code];
}

void BusCtl::DisableControl()
{
    std::clog << "clock control disabled." << std::endl;
    enabled_ = false;
}

void BusCtl::OnConnect()
{
    if (enabled_)
        SetDefaultClock();
}

void BusCtl::OnDisconnect()
{
    if (enabled_)
        SetDefaultClock();
}

// Answered success whatever the driver did: its failures are only logged.
bool BusCtl::OnCommand(const LGCP::Command& command)
{
    if (command.currentSelection() != LGCP::Command::clockCfg_chosen)
        return false;
    if (enabled_) {
        SetClockSrc(command.get_clockCfg());
        Success();
    } else {
        Error(LGCP::ErrorCause::unsupported);
    }
    return true;
}

bool BusCtl::IsOpen()
{
    if (fd_ >= 0)
        return true;
    if (!enabled_)
        return false;
    fd_ = board_.open(kDevice, O_RDWR);
    if (fd_ >= 0)
        SetCloexec(fd_, true);
    return fd_ >= 0;
}

void BusCtl::SetDefaultClock()
{
    LGCP::ClockCfg cfg;
    cfg.set_clkSel0(LGCP::ClkSel0::internal);
    cfg.set_bextEn(LGCP::BExtEn::disabled);
    cfg.set_source(-1);
    SetClockSrc(cfg);
}

void BusCtl::SetClockSrc(const LGCP::ClockCfg& cfg)
{
    if (!IsOpen()) {
        (spi_ != nullptr ? *spi_ : spiCtrl::instance()).clock(-1);
        std::cerr << ext::header(this) << "set clock source fail: code 1." << std::endl;
        return;
    }
    std::cerr << ext::header(this) << "set clock source cmd: " << cfg << std::endl;
    int code;
    if (cfg.get_clkSel0().getValue() == LGCP::ClkSel0::internal)
        code = kFreeRun;
    else if (cfg.get_bextEn().getValue() == LGCP::BExtEn::disabled)
        code = kExternal;
    else if (cfg.get_source().getValue() >= 0)
        code = cfg.get_source().getValue();
    else
        return;
    DrvSetClkSrc(code);
}

void BusCtl::DrvSetClkSrc(int code)
{
    if (!IsOpen()) {
        std::cerr << ext::header(this) << "device open error" << std::endl;
        return;
    }
    Clock::SelectRecord::Bytes rec = Clock::SelectRecord{code}.encode();
    if (board_.ioctl(fd_, Clock::kSelect, rec.data(), rec.size()) < 0)
        std::cerr << ext::header(this) << "HW_CLOCK_SELECT fail." << std::endl;
    else
        std::cerr << ext::header(this) << "clock source = " << getclksrc_text(code) << std::endl;
}
