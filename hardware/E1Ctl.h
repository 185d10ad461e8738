#pragma once
// The board's four E1 trunks:
//  - each trunk's synchronisation state and error counters, read from
//    "/dev/maintenance" on every controller connection and then every
//    1000 ms for the life of the process, go to the controller as
//    trunkStatus signals;
//  - the transmit-clock mask (bit t: trunk t is clock slave), set by trunkCfg
//    and written to "/dev/maintenance";
//  - channel-associated signalling through "/dev/e1-cas": open and close per
//    trunk and per time slot, set and get the bits (slot-less ioctl with cas
//    parameters), and every change the driver announces, as cas signals.
// Both devices are opened on first need and tried again at the next use when
// the open failed. Messages start with "E1: ".
#include <cstdint>
#include <ostream>

#include "board/E1Records.h"
#include "control/CtrlSrvService.h"
#include "runtime/Event.h"
#include "runtime/Fd.h"
#include "runtime/Timer.h"

class BoardDevice;

class E1Ctl : public CtrlSrv::Service {
public:
    static constexpr unsigned kPollMs = 1000;

    // The process's service on the process's board.
    static E1Ctl& instance();

    E1Ctl();
    explicit E1Ctl(BoardDevice& board);
    // Releases the CAS event and closes both devices.
    ~E1Ctl() override;
    E1Ctl(const E1Ctl&) = delete;
    E1Ctl& operator=(const E1Ctl&) = delete;

    void OnConnect() override;
    // The status poll keeps running.
    void OnDisconnect() override {}
    bool OnCommand(const LGCP::Command& command) override;

    void PutHeader(std::ostream& os) const { os << "E1: "; }

    void SetTimer();
    void OnCheckStatus(Timer*);
    void SetMode(const LGCP::TrunkCfg& cfg);
    void UpdateTclk();
    void SendStatus();
    bool IsOpen();
    bool CheckOpenCas();
    void OnUpdateCas(int fd, short revents);
    void SendCASSignal(int path, int timeslot, int rx, int tx);
    // A trunk-level cas signal: time slot 0, rx = status (0 open, 1 closed,
    // negative: the driver's failure).
    void SendCASTrunkStatus(int path, int status);
    void HandleCas(const LGCP::IoctlParams& params);
    void HandleCasOpen(const Cas::Channel& channel, int value);
    void HandleCasClose(const Cas::Channel& channel);
    void HandleCasSet(const Cas::Channel& channel, int value);
    void HandleCasGet(const Cas::Channel& channel);

    std::uint32_t tclkForTest() const { return tclk_; }
    bool casOpenForTest(int trunk) const { return casOpen_[trunk]; }
    bool isPollingForTest() const { return timer_.get() != nullptr; }

private:
    // Gets the bits of one time slot and reports them, or the failure.
    void ReportBits(const Cas::Channel& channel);
    int SlotRequest(const Cas::Channel& channel, std::int32_t action, int tx);

    BoardDevice& board_;
    int maintenance_ = -1;
    Timer timer_;
    Fd cas_;
    Event casEvent_;
    bool casOpen_[E1::kTrunks] = {};
    std::uint32_t tclk_ = 0;
};
