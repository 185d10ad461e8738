#pragma once
// One occurrence of the configuration section "snmpagent": the agent's
// address ("host") and the kind of monitoring messages it takes ("name").
// The agent link itself (its connection and messages) is not built here.
#include <string>

#include "runtime/IniFile.h"
#include "runtime/IniFileReader.h"

class SnmpAgentInstance
{
public:
    // A number that names no row is taken as it is: the fixed underlying
    // type holds any such value.
    enum MonitoringAddressType : int
    {
        lemzgw = 1,
        mesk = 2,
        lemzgw_vq = 4,
    };
    // Rows in search order, ended by a null name.
    static const IniFile::Symbol<MonitoringAddressType> MonitoringAddressSymbols[];

    SnmpAgentInstance() = default;
    SnmpAgentInstance(const SnmpAgentInstance&) = delete;
    SnmpAgentInstance& operator=(const SnmpAgentInstance&) = delete;

    // Reads "host" and "name", both required; false (with the reader's
    // diagnostics on std::cerr) when either is missing, repeated or invalid.
    bool Activate(IniFile::SubSection& sub);

    const std::string& GetHost() const { return host; }
    MonitoringAddressType GetType() const { return type; }

private:
    std::string host;
    MonitoringAddressType type = lemzgw;
};
