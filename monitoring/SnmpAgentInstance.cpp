#include "monitoring/SnmpAgentInstance.h"

#include <iostream>

const IniFile::Symbol<SnmpAgentInstance::MonitoringAddressType> SnmpAgentInstance::MonitoringAddressSymbols[] = {
    {"lemzgw", lemzgw},
    {"lemzgw.vq", lemzgw_vq},
    {"mesk", mesk},
    {nullptr, lemzgw},
};

bool SnmpAgentInstance::Activate(IniFile::SubSection& sub)
{
    IniFile::Reader reader("snmpagent: ", std::cerr);
    reader.required.add(&host, "host");
    reader.required.add(&type, "name", MonitoringAddressSymbols);
    return reader.parse(sub);
}
