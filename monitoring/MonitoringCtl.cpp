#include "monitoring/MonitoringCtl.h"

#include <iostream>

#include "control/TraceCtl.h"
#include "runtime/ExtStream.h"

MonitoringCtl& MonitoringCtl::instance()
{
    static MonitoringCtl monitoring;
    return monitoring;
}

void MonitoringCtl::Configure(IniFile::File& file)
{
    agents.clear();
    IniFile::Section& section = *file["snmpagent"];
    for (IniFile::SubSection& sub : section) {
        std::unique_ptr<SnmpAgentInstance> agent(new SnmpAgentInstance);
        if (agent->Activate(sub))
            agents.push_back(std::move(agent));
    }
}

bool MonitoringCtl::OnCommand(const LGCP::Command& command)
{
    if (command.currentSelection() != LGCP::Command::display_chosen)
        return false;
    OnDisplayCMD(command.get_display());
    Success();
    return true;
}

void MonitoringCtl::OnDisplayCMD(const LGCP::DisplayParams& params)
{
    if (traces.internal)
        std::clog << ext::header(this) << "display " << params << std::endl;
}
