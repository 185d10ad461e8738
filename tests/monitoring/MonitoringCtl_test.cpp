#include <gtest/gtest.h>

#include <sstream>

#include "control/ControlLink.h"
#include "monitoring/MonitoringCtl.h"
#include "monitoring/SnmpAgentInstance.h"

using namespace ctrltest;

namespace {

IniFile::File& parse(IniFile::File& file, const char* text)
{
    std::istringstream in(text);
    in >> file;
    return file;
}

class MonitoringLink : public ControlLink {
protected:
    MonitoringLink() { server.Bind(&monitoring); }
    // The server tells its services of the disconnect: before this one goes.
    ~MonitoringLink() override { server.Deactivate(); }
    MonitoringCtl monitoring;
};

} // namespace

TEST(MonitoringConfig, AgentsReadByNameOrNumberAndBadOnesLeftOut)
{
    looptest::Capture err{std::cerr};
    IniFile::File file;
    parse(file,
          "[snmpagent]\nhost=10.0.0.1\nname=lemzgw.vq\n"
          "[snmpagent]\nhost=10.0.0.2\nname=mesk\n"
          "[snmpagent]\nhost=10.0.0.3\nname=0x1\n"
          "[snmpagent]\nhost=10.0.0.4\nname=lemzgw.vqx\n"
          "[snmpagent]\nname=lemzgw\n"
          "[snmpagent]\nhost=10.0.0.6\nname=lemzgw\n");
    MonitoringCtl monitoring;
    monitoring.Configure(file);
    const auto& agents = monitoring.GetAgents();
    ASSERT_EQ(agents.size(), 4u);
    EXPECT_EQ(agents[0]->GetHost(), "10.0.0.1");
    EXPECT_EQ(agents[0]->GetType(), SnmpAgentInstance::lemzgw_vq);
    EXPECT_EQ(agents[1]->GetType(), SnmpAgentInstance::mesk);
    EXPECT_EQ(agents[2]->GetType(), SnmpAgentInstance::lemzgw);
    EXPECT_EQ(agents[3]->GetHost(), "10.0.0.6");
    EXPECT_EQ(agents[3]->GetType(), 1);
    EXPECT_NE(err.str().find("snmpagent: "), std::string::npos) << err.str();

    // A file that did not open configures no agent, also over earlier ones.
    IniFile::File closed;
    EXPECT_FALSE(closed.Open("/nonexistent/server.conf"));
    monitoring.Configure(closed);
    EXPECT_TRUE(monitoring.GetAgents().empty());
}

TEST(MonitoringConfig, SymbolRowsInSearchOrder)
{
    const IniFile::Symbol<SnmpAgentInstance::MonitoringAddressType>* row = SnmpAgentInstance::MonitoringAddressSymbols;
    EXPECT_STREQ(row[0].name, "lemzgw");
    EXPECT_EQ(row[0].value, 1);
    EXPECT_STREQ(row[1].name, "lemzgw.vq");
    EXPECT_EQ(row[1].value, 4);
    EXPECT_STREQ(row[2].name, "mesk");
    EXPECT_EQ(row[2].value, 2);
    EXPECT_EQ(row[3].name, nullptr);
}

TEST_F(MonitoringLink, DisplayIsAnsweredSuccessAndOthersPassOn)
{
    LGCP::Message display;
    display.include_seq();
    display.set_seq(7);
    display.get_pdu().set_command().set_display().set_snmpTrapReceivers();
    LGCP::Message success;
    success.include_seq();
    success.set_seq(7);
    success.get_pdu().set_response().set_success();
    EXPECT_EQ(exchange(encode(display)), std::vector<std::string>{encode(success)});

    LGCP::Command query;
    query.set_query();
    EXPECT_FALSE(monitoring.OnCommand(query));
}

TEST(MonitoringConfig, NumberOutsideTheRowsIsKeptAsItIs)
{
    IniFile::File file;
    parse(file, "[snmpagent]\nhost=10.0.0.1\nname=100\n[snmpagent]\nhost=10.0.0.2\nname=-1\n");
    MonitoringCtl monitoring;
    monitoring.Configure(file);
    ASSERT_EQ(monitoring.GetAgents().size(), 2u);
    EXPECT_EQ(monitoring.GetAgents()[0]->GetType(), 100);
    EXPECT_EQ(monitoring.GetAgents()[1]->GetType(), -1);
}
