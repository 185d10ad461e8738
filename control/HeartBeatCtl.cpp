#include "control/HeartBeatCtl.h"

#include <iostream>

#include "control/CtrlSrvServer.h"
#include "runtime/ExtStream.h"

HeartBeatCtl& HeartBeatCtl::instance()
{
    static HeartBeatCtl heartbeat;
    return heartbeat;
}

bool HeartBeatCtl::OnCommand(const LGCP::Command& command)
{
    ResetTimeOut();
    if (command.currentSelection() != LGCP::Command::ping_chosen)
        return false;
    Success();
    return true;
}

void HeartBeatCtl::ResetTimeOut()
{
    timer.set(timeout_ms, &HeartBeatCtl::OnHeartbeatTimeout, this);
}

void HeartBeatCtl::OnHeartbeatTimeout(Timer*)
{
    std::clog << ext::header(this) << "heartbeat timeout!!!" << std::endl;
    // The server this service is bound to: ctrlServer in the daemon.
    if (GetServer() != nullptr)
        GetServer()->OnHeartbeatTimeout();
}
