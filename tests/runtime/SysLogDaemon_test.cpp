// The syslog client against a real log daemon (syslog-ng from Debian's
// packages) listening on a socket in a temporary folder.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include "runtime/Multiplexer.h"
#include "runtime/SysLogManager.h"
#include "runtime/SysLogStreamBuf.h"
#include "support/LogSocket.h"

namespace {

const char SyslogNg[] = "/usr/sbin/syslog-ng";

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Polls a condition of an outside process, at most about ten seconds.
template<class Pred>
bool waitFor(Pred pred)
{
    for (int i = 0; i < 1000; ++i) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}

class SysLogDaemon : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (access(SyslogNg, X_OK) != 0)
            GTEST_SKIP() << SyslogNg << " is not installed (package syslog-ng-core)";
        const std::string d = dir.path;
        std::ofstream(d + "/syslog-ng.conf")
            << "@version: 3.38\n"
            << "source s { " << GetParam() << "(\"" << dir.logPath() << "\"); };\n"
            << "destination d { file(\"" << d << "/out.log\" template(\"$PRI|$PROGRAM|$MSG\\n\")); };\n"
            << "log { source(s); destination(d); };\n";
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int out = open((d + "/syslog-ng.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
            execl(SyslogNg, SyslogNg, "-F", "-f", (d + "/syslog-ng.conf").c_str(),
                  ("--persist-file=" + d + "/persist").c_str(), ("--pidfile=" + d + "/pid").c_str(),
                  ("--control=" + d + "/ctl").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        struct stat st;
        ASSERT_TRUE(waitFor([&] { return stat(dir.logPath().c_str(), &st) == 0; }))
            << "syslog-ng did not create its socket";
    }

    void TearDown() override
    {
        syslogManager.closelog();
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }

    test::LogDir dir;
    pid_t pid = -1;
};

} // namespace

TEST_P(SysLogDaemon, EachLineArrivesWholeWithItsPriority)
{
    syslogManager.openlog("vlx-test", LOG_NDELAY, 0);
    ASSERT_TRUE(syslogManager.isConnected());
    EXPECT_EQ(syslogManager.socketType(),
              std::string(GetParam()) == "unix-dgram" ? SOCK_DGRAM : SOCK_STREAM);
    ManagedSysLogStreamBuf notice(LOG_DAEMON, LOG_NOTICE), err(LOG_DAEMON, LOG_ERR),
        debug(LOG_DAEMON, LOG_DEBUG);
    std::ostream out(&notice), error(&err), trace(&debug);

    const std::string longLine(900, 'x');
    out << "started on port 20001" << std::endl;
    error << "bad value %s %d\n" << longLine << std::endl;
    for (int i = 0; i < 40; ++i)
        trace << "trace " << i << '\n';
    trace << std::flush;
    // What the log socket does not take at once goes as the loop sees room.
    while (syslogManager.queuedMessages() > 0)
        multiplexer.runTurnForTest();

    const std::string outLog = dir.path + "/out.log";
    ASSERT_TRUE(waitFor([&] { return readLines(outLog).size() >= 43; }));
    std::vector<std::string> expected = {"29|vlx-test|started on port 20001",
                                         "27|vlx-test|bad value %s %d",
                                         "27|vlx-test|" + longLine};
    for (int i = 0; i < 40; ++i)
        expected.push_back("31|vlx-test|trace " + std::to_string(i));
    EXPECT_EQ(readLines(outLog), expected);
}

INSTANTIATE_TEST_SUITE_P(Socket, SysLogDaemon, ::testing::Values("unix-dgram", "unix-stream"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(5);
                         });
