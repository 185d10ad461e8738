#pragma once
// The clock source of the board's TDM bus, selected through "/dev/hal": on the
// controller's clockCfg command, and back to the free-running clock whenever
// the controller connects or disconnects. DisableControl() (--disable-clock)
// turns clock control off for the whole run: the device is never opened and
// clockCfg is answered unsupported.
//
// Keeps its own "/dev/hal" descriptor, opened on first need; a failed open is
// tried again at the next use. Messages go to std::cerr behind "clkctl: ".
#include <ostream>

#include "control/CtrlSrvService.h"

class BoardDevice;
class spiCtrl;

class BusCtl : public CtrlSrv::Service {
public:
    static constexpr int kFreeRun = 4;
    static constexpr int kExternal = 5;

    // The process's service on the process's board.
    static BusCtl& instance();

    BusCtl();
    // spi: the line interfaces to release the clock master on when the device
    // does not open; null: spiCtrl::instance(), built when first needed.
    BusCtl(BoardDevice& board, spiCtrl* spi);
    ~BusCtl() override;
    BusCtl(const BusCtl&) = delete;
    BusCtl& operator=(const BusCtl&) = delete;

    // Writes "clock control disabled."; for good.
    void DisableControl();

    void OnConnect() override;
    void OnDisconnect() override;
    bool OnCommand(const LGCP::Command& command) override;

    void PutHeader(std::ostream& os) const { os << "clkctl: "; }

    bool IsOpen();
    void SetDefaultClock();
    void SetClockSrc(const LGCP::ClockCfg& cfg);
    void DrvSetClkSrc(int code);

    // The logged name of a clock code; "?" outside the table.
    static const char* getclksrc_text(int code);

private:
    BoardDevice& board_;
    spiCtrl* spi_;
    int fd_ = -1;
    bool enabled_ = true;
};
