#pragma once
// The monitoring service as the control server sees it: bound last, it takes
// `display` commands and reads the agents of the configuration section
// "snmpagent". The periodic board checks, status files and the agent links
// are not part of it yet: connect and disconnect do nothing.
#include <memory>
#include <ostream>
#include <vector>

#include "control/CtrlSrvService.h"
#include "monitoring/SnmpAgentInstance.h"
#include "runtime/IniFile.h"

class MonitoringCtl : public CtrlSrv::Service
{
public:
    static MonitoringCtl& instance();

    MonitoringCtl() = default;

    // Reads every occurrence of "snmpagent"; an occurrence whose keys do not
    // read is reported and left out. The file need not be open. Replaces the
    // agents of an earlier call.
    void Configure(IniFile::File& file);

    void OnConnect() override {}
    void OnDisconnect() override {}
    // Takes `display` only and answers it with success.
    bool OnCommand(const LGCP::Command& command) override;

    const std::vector<std::unique_ptr<SnmpAgentInstance>>& GetAgents() const { return agents; }
    void PutHeader(std::ostream& os) const { os << "monitoring: "; }

private:
    void OnDisplayCMD(const LGCP::DisplayParams& params);

    std::vector<std::unique_ptr<SnmpAgentInstance>> agents;
};
