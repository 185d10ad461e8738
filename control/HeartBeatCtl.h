#pragma once
// Controller heartbeat: answers `ping` and drops the control connection when
// no command has reached the services for 120 s. Bound first, so it sees
// every command before the other services. Connecting arms nothing: a
// controller that never sends a command is not timed out here.
#include <ostream>

#include "control/CtrlSrvService.h"
#include "runtime/Timer.h"

class HeartBeatCtl : public CtrlSrv::Service
{
public:
    static const unsigned timeout_ms = 120000;

    static HeartBeatCtl& instance();

    HeartBeatCtl() = default;

    void OnConnect() override {}
    // No time-out while no controller is connected.
    void OnDisconnect() override { timer.reset(); }
    // Re-arms the time-out for any command; takes and answers `ping` only.
    bool OnCommand(const LGCP::Command& command) override;

    // Replaces the pending time-out by one 120 s from now.
    void ResetTimeOut();
    // Logs and asks the bound server to drop the connection.
    void OnHeartbeatTimeout(Timer*);

    bool IsArmed() const { return timer.get() != nullptr; }
    void PutHeader(std::ostream& os) const { os << "heartbeat: "; }

private:
    Timer timer;
};
