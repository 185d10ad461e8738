// The daemon as a controller and an operator meet it: its command line, its
// control connection, its signals and its end.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "DaemonProcess.h"

using namespace proctest;
using V = std::vector<std::string>;

namespace {

const char kUsage[] =
    "Usage:\n"
    " stalvane -Dh\n"
    "  -D --daemon                      run as daemon\n"
    "  -p --port                        use this port\n"
    "     --disable-clock               disable clock control\n"
    "     --version                     print version\n"
    "  -h --help                        display this information\n"
    "\n";

const char kVersionLead[] = "server version: ";

// The daemon's version tag, as --version prints it.
std::string versionTag()
{
    DaemonProcess d;
    if (!d.start({"--version"}) || d.wait() != 2)
        return "";
    std::string out = d.out();
    if (out.compare(0, sizeof kVersionLead - 1, kVersionLead) != 0 || out.empty() || out.back() != '\n')
        return "";
    return out.substr(sizeof kVersionLead - 1, out.size() - sizeof kVersionLead);
}

std::string ok(int seq, int slot = -1)
{
    return "{ seq " + std::to_string(seq) + (slot >= 0 ? ", slot " + std::to_string(slot) : "") +
           ", pdu response : success : NULL }";
}

std::string error(int seq, int slot, const char* cause)
{
    return "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu response : error : " +
           cause + " }";
}

std::string trunk(unsigned number, unsigned timeslot)
{
    return "command : create : trunk : { trunk " + std::to_string(number) + ", timeslot " +
           std::to_string(timeslot) + " }";
}

// A daemon on its port with a controller connected; it must end cleanly.
class DaemonSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(d.startOnPort());
        ASSERT_TRUE(c.connect(d.port)) << c.client.error() << "\n" << d.err();
    }
    void TearDown() override
    {
        EXPECT_TRUE(d.signal(SIGTERM));
        EXPECT_EQ(d.wait(), 0) << d.err();
    }

    DaemonProcess d;
    Controller c;
};

} // namespace

TEST(DaemonCommandLine, HelpAndBadOptionsPrintTheUsage)
{
    struct Case {
        V args;
        int status;
    };
    const Case cases[] = {
        {{"--help"}, 0},          {{"-h"}, 0},
        {{"--version", "--help"}, 0},   // parsing ends first: no version line
        {{"-p", "1"}, 2},         {{"--bogus"}, 2},
        {{"--port"}, 2},          {{"--port", "abc"}, 2},
        {{"--port", "0"}, 2},     {{"--port", "65536"}, 2},
        {{"--port", "5000x"}, 2}, {{"--port", "-5"}, 2},
        {{"--port", "99999999999999999999999"}, 2},
    };
    for (const Case& c : cases) {
        DaemonProcess d;
        ASSERT_TRUE(d.start(c.args));
        EXPECT_EQ(d.wait(), c.status) << c.args[0];
        EXPECT_EQ(d.out(), kUsage) << c.args[0];
        EXPECT_FALSE(d.exists("/var/run/server.pid"));
    }
}

TEST(DaemonCommandLine, VersionEndsTheRunBeforeAnythingIsBuilt)
{
    DaemonProcess d;
    ASSERT_TRUE(d.start({"--port", "5000", "--version", "--disable-clock"}));
    EXPECT_EQ(d.wait(), 2);
    const std::string out = d.out();
    ASSERT_EQ(out.compare(0, sizeof kVersionLead - 1, kVersionLead), 0) << out;
    EXPECT_GT(out.size(), sizeof kVersionLead);
    EXPECT_EQ(out.find('\n'), out.size() - 1);
    // --disable-clock speaks, but no switch or service opened the board.
    EXPECT_TRUE(d.simLog().empty());
    EXPECT_FALSE(d.exists("/var/run/server.pid"));
}

TEST(DaemonRun, StartLinePidFileAndOrderlyStop)
{
    const std::string tag = versionTag();
    ASSERT_FALSE(tag.empty());
    DaemonProcess d;
    ASSERT_TRUE(d.startOnPort());
    const std::string line = "Starting server [" + tag + "], port=" + std::to_string(d.port) + "\n";
    ASSERT_TRUE(d.waitForText("/stdout", line)) << d.out();
    EXPECT_EQ(d.readFile("/var/run/server.pid"), std::to_string(d.pid()));

    Controller c;
    ASSERT_TRUE(c.connect(d.port));
    EXPECT_EQ(c.command("command : ping : NULL"), ok(1));

    ASSERT_TRUE(d.signal(SIGTERM));
    EXPECT_EQ(d.wait(), 0) << d.err();
    const std::string watchdog = d.readFile("/dev/misc/gw-wd");
    EXPECT_EQ(watchdog.compare(0, 5, "START"), 0) << watchdog;
    ASSERT_GE(watchdog.size(), 9u);
    EXPECT_EQ(watchdog.substr(watchdog.size() - 4), "STOP");
    EXPECT_FALSE(d.exists("/var/run/server.pid"));
    EXPECT_EQ(c.nextNotSignal(kAnswerMs), "closed");
}

TEST_F(DaemonSession, PingAndQueryWithItsSignal)
{
    EXPECT_EQ(c.command("command : ping : NULL"), ok(1));
    EXPECT_EQ(c.command("command : query : NULL"), ok(2));
    const std::string query = c.signal("query");
    EXPECT_EQ(query.compare(0, 31, "{ pdu signal : query : { boardM"), 0) << query;
    EXPECT_NE(query.find("mux TRUE"), std::string::npos) << query;
    // Monitoring takes display; nobody takes what it does not know.
    EXPECT_EQ(c.command("command : display : snmpTrapReceivers : { }"), ok(3));
}

TEST_F(DaemonSession, TrunkChannelsAreSwitchedAndReleased)
{
    // Connecting has set the free-running clock by the first answer.
    EXPECT_EQ(c.command("command : ping : NULL"), ok(1));
    const std::size_t from = d.simLog().size();
    EXPECT_EQ(c.command(trunk(0, 5), 1), ok(2, 1));
    EXPECT_EQ(c.command(trunk(1, 7), 2), ok(3, 2));
    EXPECT_EQ(c.command("command : connect : 2", 1), ok(4, 1));
    EXPECT_TRUE(d.waitForSwitchRequest(from, "connect 39 <- 5")) << d.err();
    EXPECT_EQ(c.command("command : disconnect : NULL", 2), ok(5, 2));
    EXPECT_TRUE(d.waitForSwitchRequest(from, "write 39 d5"));
    EXPECT_EQ(c.command("command : destroy : NULL", 2), ok(6, 2));
    EXPECT_EQ(c.command("command : destroy : NULL", 1), ok(7, 1));
    EXPECT_EQ(c.command("command : destroy : NULL", 1), error(8, 1, "slotNotExists"));
    EXPECT_EQ(d.switchRequests(from), (V{"connect 39 <- 5", "write 39 d5"}));
}

TEST_F(DaemonSession, SecondControllerIsRefusedWhileTheFirstWorks)
{
    EXPECT_EQ(c.command("command : ping : NULL"), ok(1));
    Controller second;
    ASSERT_TRUE(second.connect(d.port));
    EXPECT_EQ(second.nextNotSignal(kAnswerMs), "closed");
    EXPECT_EQ(c.command("command : ping : NULL"), ok(2));
}

TEST_F(DaemonSession, GarbageIsAnsweredByNothing)
{
    EXPECT_EQ(c.command("command : ping : NULL"), ok(1));
    const char garbage[] = "\xff\xfe garbage \x01";
    ASSERT_TRUE(c.client.sendPayload(garbage, sizeof garbage - 1));
    // Long enough for two connection checks: the connection stays. The
    // trunk states come every second and are no answer.
    EXPECT_EQ(c.nextNotSignal(2500), "timeout");
    EXPECT_EQ(c.command("command : ping : NULL"), ok(2));
}

TEST_F(DaemonSession, SignalsDumpTheStatusAndReportResources)
{
    const std::string tag = versionTag();
    EXPECT_EQ(c.command("command : ping : NULL"), ok(1));
    ASSERT_TRUE(d.signal(SIGUSR2));
    ASSERT_TRUE(d.waitForText("/var/log/server-status", "AcceptorNet::OnSocketEvent"));
    const std::string dump = d.readFile("/var/log/server-status");
    EXPECT_EQ(dump.compare(0, 26, "server status information."), 0) << dump;
    EXPECT_NE(dump.find("\nversion : " + tag + "\n"), std::string::npos) << dump;

    ASSERT_TRUE(d.signal(SIGHUP));
    EXPECT_NE(c.signal("query"), "");
    EXPECT_TRUE(d.waitForText("/stderr", "update hardware resources\n"));
}

TEST(DaemonRun, LostControllerTakesTheSlotsAndTheClock)
{
    DaemonProcess d;
    ASSERT_TRUE(d.startOnPort());
    std::size_t from = 0;
    {
        Controller c;
        ASSERT_TRUE(c.connect(d.port));
        EXPECT_EQ(c.command(trunk(0, 5), 1), ok(1, 1));
        EXPECT_EQ(c.command(trunk(1, 7), 2), ok(2, 2));
        EXPECT_EQ(c.command("command : connect : 2", 1), ok(3, 1));
        EXPECT_EQ(c.command("command : clockCfg : { clkSel0 external, bextEn disabled, source -1 }"), ok(4));
        EXPECT_TRUE(d.waitForSwitchRequest(0, "clock 5"));
        from = d.simLog().size();
    }
    EXPECT_TRUE(d.waitForSwitchRequest(from, "clock 4"));
    EXPECT_TRUE(d.waitForSwitchRequest(from, "write 39 d5"));

    Controller again;
    ASSERT_TRUE(again.connect(d.port));
    EXPECT_EQ(again.command("command : destroy : NULL", 1), error(1, 1, "slotNotExists"));
    EXPECT_EQ(again.command("command : connect : 1", 2), error(2, 2, "slotNotExists"));
    EXPECT_EQ(again.command("command : ping : NULL"), ok(3));

    ASSERT_TRUE(d.signal(SIGTERM));
    EXPECT_EQ(d.wait(), 0) << d.err();
}

TEST(DaemonRun, DisabledClockIsNeverTouched)
{
    DaemonProcess d;
    ASSERT_TRUE(d.start({"--disable-clock", "--port", std::to_string(d.port)}));
    // Neither the connect, the command nor the disconnect at the end sets it.
    Controller c;
    ASSERT_TRUE(c.connect(d.port));
    EXPECT_EQ(c.command("command : clockCfg : { clkSel0 external, bextEn disabled, source -1 }"),
              "{ seq 1, pdu response : error : unsupported }");
    ASSERT_TRUE(d.signal(SIGTERM));
    EXPECT_EQ(d.wait(), 0) << d.err();
    EXPECT_EQ(d.switchRequests(0), V{});
    EXPECT_NE(d.err().find("clock control disabled.\n"), std::string::npos);
    // No configuration file: said once, and the run goes on.
    EXPECT_NE(d.err().find("server.conf not opened"), std::string::npos) << d.err();
}

TEST(DaemonRun, DaemonModeLogsToTheSystemLog)
{
    const std::string tag = versionTag();
    DaemonProcess d;
    LogReceiver log(d);   // the system log's socket, before the daemon looks for it
    ASSERT_TRUE(log.bound());
    ASSERT_TRUE(d.start({"--daemon", "--port", std::to_string(d.port)}));
    EXPECT_EQ(d.wait(), 0);   // the parent; the daemon goes on detached
    std::string line;
    do
        line = log.next(kStartMs);
    while (!line.empty() && line.find("Starting server") == std::string::npos);
    ASSERT_TRUE(d.followDaemon());

    // daemon.notice under the identity "vlx-" and the tag.
    EXPECT_EQ(line.compare(0, 4, "<29>"), 0) << line;
    EXPECT_NE(line.find(" vlx-" + tag + ": Starting server [" + tag + "], port=" + std::to_string(d.port)),
              std::string::npos)
        << line;
    EXPECT_TRUE(d.out().empty());

    Controller c;
    ASSERT_TRUE(c.connect(d.port));
    EXPECT_EQ(c.command("command : ping : NULL"), ok(1));
    ASSERT_TRUE(d.signal(SIGTERM));
    EXPECT_EQ(c.nextNotSignal(kAnswerMs), "closed");
    EXPECT_TRUE(d.waitForText("/dev/misc/gw-wd", "STOP"));
}

TEST(DaemonRun, LogReceiverThatStopsReadingStopsNothing)
{
    const std::string tag = versionTag();
    DaemonProcess d;
    LogReceiver log(d);
    ASSERT_TRUE(log.bound());
    ASSERT_TRUE(d.start({"--daemon", "--port", std::to_string(d.port)}));
    EXPECT_EQ(d.wait(), 0);
    Controller c;
    ASSERT_TRUE(c.connect(d.port));
    ASSERT_TRUE(d.followDaemon());

    // Each payload that does not decode logs about 1 KB: far more than the
    // log socket and the client's batch hold.
    const std::string garbage(1000, '\xff');
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(c.client.sendPayload(garbage.data(), garbage.size()));
    EXPECT_EQ(c.command("command : ping : NULL"), ok(1));
    const std::string fed = d.readFile("/dev/misc/gw-wd");
    EXPECT_TRUE(d.waitForText("/dev/misc/gw-wd", fed + "PINGPING", kAnswerMs));

    // Read again, the log gets what waited, then the count of what was lost
    // before the next line that finds room (lines written while the
    // daemon's batch is still full are lost too: the next round's say it).
    const std::string lead = "<27>";
    const std::string said = "vlx-" + tag + ": SysLogManager: ";
    std::string report;
    for (int round = 0; round < 5 && report.empty(); ++round) {
        ASSERT_TRUE(c.client.sendPayload(garbage.data(), garbage.size()));
        for (std::string m = log.next(1000); !m.empty() && report.empty(); m = log.next(1000))
            if (m.find(said) != std::string::npos)
                report = m;
    }
    ASSERT_EQ(report.compare(0, lead.size(), lead), 0) << report;
    ASSERT_EQ(report.find(said), lead.size() + 16) << report;   // after the time stamp
    const std::string count = report.substr(lead.size() + 16 + said.size());
    EXPECT_GT(std::atoi(count.c_str()), 0) << report;
    EXPECT_EQ(count, std::to_string(std::atoi(count.c_str())) + " messages lost" + std::string(1, '\0'));

    ASSERT_TRUE(d.signal(SIGTERM));
    EXPECT_TRUE(d.waitForText("/dev/misc/gw-wd", "STOP"));
}

TEST(DaemonRun, ConfigurationThatIsNoFileGivesTheDefaults)
{
    const char config[] = "/usr/local/etc/server.conf";
    for (bool folder : {true, false}) {
        DaemonProcess d;
        ASSERT_EQ(folder ? ::mkdir(d.path(config).c_str(), 0700) : ::mkfifo(d.path(config).c_str(), 0600), 0);
        ASSERT_TRUE(d.startOnPort());
        Controller c;
        ASSERT_TRUE(c.connect(d.port)) << folder << "\n" << d.err();
        EXPECT_EQ(c.command("command : ping : NULL"), ok(1));
        EXPECT_NE(d.err().find("config file " + d.path(config) + " not opened, defaults used\n"), std::string::npos)
            << d.err();
        ASSERT_TRUE(d.signal(SIGTERM));
        EXPECT_EQ(d.wait(), 0) << d.err();
    }
}

// A FIFO without a reader at a fixed path is a file that did not open: it is
// left as it is, and the daemon neither waits for it nor stops serving.
TEST(DaemonRun, FifoAtAFixedPathIsAFileThatDidNotOpen)
{
    struct Case {
        const char* fifo;
        const char* file;   // what shows, by the status dump, that the loop runs
        const char* text;
    };
    const Case cases[] = {
        {"/var/run/server.pid", "/var/log/server-status", "server status information."},
        {"/var/log/server-status", "/stderr", "dump status error\n"},
        {"/dev/misc/gw-wd", "/stderr", "Mux: fail to open watchdog: "},
    };
    for (const Case& row : cases) {
        DaemonProcess d;
        ::unlink(d.path(row.fifo).c_str());
        ASSERT_EQ(::mkfifo(d.path(row.fifo).c_str(), 0600), 0) << row.fifo;
        ASSERT_TRUE(d.startOnPort());
        Controller c;
        ASSERT_TRUE(c.connect(d.port)) << row.fifo << "\n" << d.err();
        EXPECT_EQ(c.command("command : ping : NULL"), ok(1)) << row.fifo;
        ASSERT_TRUE(d.signal(SIGUSR2));
        EXPECT_TRUE(d.waitForText(row.file, row.text)) << row.fifo << "\n" << d.err();
        EXPECT_EQ(c.command("command : ping : NULL"), ok(2)) << row.fifo;
        ASSERT_TRUE(d.signal(SIGTERM));
        EXPECT_EQ(d.wait(), 0) << row.fifo << "\n" << d.err();
        struct stat st;
        EXPECT_TRUE(::stat(d.path(row.fifo).c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) << row.fifo;
    }
}

// As after a failed assertion: the detached daemon was never followed.
TEST(DaemonRun, DetachedDaemonEndsWithItsGuard)
{
    std::string root;
    {
        DaemonProcess d;
        root = d.path("");
        ASSERT_TRUE(d.start({"--daemon", "--port", std::to_string(d.port)}));
        ASSERT_EQ(d.wait(), 0);
    }
    const std::vector<pid_t> left = processesUnder(root);
    EXPECT_EQ(left.size(), 0u);
    for (pid_t pid : left)
        ::kill(pid, SIGKILL);
}

TEST(DaemonRun, SignalsDroppedWithoutControllerAreSaidOnce)
{
    DaemonProcess d;
    ASSERT_TRUE(d.startOnPort());
    {
        Controller c;
        ASSERT_TRUE(c.connect(d.port));
        EXPECT_EQ(c.command("command : ping : NULL"), ok(1));
    }
    ASSERT_TRUE(d.waitForText("/stderr", " closed.\n"));
    // The board's trunk states keep coming, several a second.
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const std::string err = d.err();
    const std::string ignored = "Control::Service::Send() ignore Send request in Connecting state.\n";
    EXPECT_EQ(occurrences(err, ignored, err.find(" closed.\n")), 1u) << err;
    ASSERT_TRUE(d.signal(SIGTERM));
    EXPECT_EQ(d.wait(), 0);
}
