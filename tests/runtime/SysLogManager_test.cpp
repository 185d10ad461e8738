#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <syslog.h>
#include <unistd.h>

#include "runtime/Multiplexer.h"
#include "runtime/Mux.h"
#include "runtime/SysLogManager.h"
#include "runtime/SysLogStreamBuf.h"
#include "support/LogSocket.h"

namespace {

using test::LogDir;

// 2024-01-02 03:04:05 UTC
const Mux::timeval Noon{1704164645, 0};
const std::string Stamp = "Jan  2 03:04:05 ";

struct SysLogTest : ::testing::Test {
    void SetUp() override { Mux::g_tv_time = Noon; }
    void TearDown() override
    {
        syslogManager.closelog();
        syslogManager.setlogmask(255);
        Mux::g_tv_time = {0, 0};
    }

    LogDir dir;
    std::unique_ptr<SysLogManager> mgr{new SysLogManager};
};

std::string msg(const std::string& text)
{
    return text + std::string(1, '\0');
}

} // namespace

TEST_F(SysLogTest, DatagramBytesAndFormat)
{
    int rx = dir.bindLog(SOCK_DGRAM);
    mgr->openlog("vlx-test", LOG_NDELAY, 0);
    ASSERT_TRUE(mgr->isConnected());
    mgr->syslog(LOG_DAEMON | LOG_NOTICE, "%s", "hello %s 100%");
    mgr->syslog(LOG_ERR, "n=%d", 7);  // no facility: the user facility
    EXPECT_EQ(test::receiveAll(rx), std::vector<std::string>{});  // queued, not sent
    EXPECT_GT(mgr->sendmsg(), 0);
    EXPECT_EQ(test::receiveAll(rx),
              (std::vector<std::string>{msg("<29>" + Stamp + "vlx-test: hello %s 100%"),
                                        msg("<11>" + Stamp + "vlx-test: n=7")}));
    EXPECT_EQ(mgr->sendmsg(), 0);

    mgr->openlog("", LOG_NDELAY, LOG_LOCAL0);
    mgr->syslog(LOG_INFO, "%s", "bare");
    mgr->openlog("id", LOG_NDELAY, 0x401);  // bits outside the facility field: ignored
    mgr->syslog(LOG_INFO, "%s", "x");
    mgr->sendmsg();
    EXPECT_EQ(test::receiveAll(rx), (std::vector<std::string>{msg("<134>" + Stamp + "bare"),
                                                          msg("<134>" + Stamp + "id: x")}));

    mgr->openlog("id", LOG_NDELAY | LOG_PID, 0);
    mgr->syslog(LOG_INFO, "%s", std::string(2000, 'z').c_str());
    mgr->sendmsg();
    const std::string head = "<134>" + Stamp + "id[" + std::to_string(getpid()) + "]: ";
    EXPECT_EQ(test::receiveAll(rx),
              std::vector<std::string>{msg(head + std::string(1023 - head.size(), 'z'))});
}

TEST_F(SysLogTest, LevelMaskAndFirstMessageConnects)
{
    int rx = dir.bindLog(SOCK_DGRAM);
    EXPECT_FALSE(mgr->isConnected());
    EXPECT_EQ(mgr->setlogmask(~(1 << LOG_DEBUG) & 255), 255);
    mgr->syslog(LOG_DEBUG, "%s", "hidden");
    EXPECT_FALSE(mgr->isConnected());
    mgr->syslog(LOG_WARNING, "%s", "shown");
    EXPECT_TRUE(mgr->isConnected());
    mgr->sendmsg();
    EXPECT_EQ(test::receiveAll(rx),
              std::vector<std::string>{msg("<12>" + Stamp + "syslog-vq: shown")});
}

TEST_F(SysLogTest, StreamFallbackAndBatchLimits)
{
    int listener = dir.bindLog(SOCK_STREAM);
    mgr->openlog("s", LOG_NDELAY, 0);
    ASSERT_TRUE(mgr->isConnected());
    EXPECT_EQ(mgr->socketType(), SOCK_STREAM);
    int rx = accept(listener, nullptr, nullptr);
    ASSERT_GE(rx, 0);
    fcntl(rx, F_SETFL, O_NONBLOCK);

    // The 256th message sends the batch at once.
    const std::string one = msg("<14>" + Stamp + "s: m");
    for (int i = 0; i < 255; ++i)
        mgr->syslog(LOG_INFO, "%s", "m");
    EXPECT_EQ(test::readAvailable(rx), "");
    mgr->syslog(LOG_INFO, "%s", "m");
    EXPECT_EQ(mgr->queuedMessages(), 0);
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += one;
    EXPECT_EQ(test::readAvailable(rx), all);

    // So does the message that brings the batch to 12289 bytes: 12 full
    // messages are 12288 bytes.
    const std::string text(1023 - (4 + Stamp.size() + 3), 'y');
    for (int i = 0; i < 12; ++i)
        mgr->syslog(LOG_INFO, "%s", text.c_str());
    EXPECT_EQ(mgr->queuedMessages(), 12);
    mgr->syslog(LOG_INFO, "%s", "m");
    EXPECT_EQ(mgr->queuedMessages(), 0);
    EXPECT_EQ(test::readAvailable(rx).size(), 12u * 1024 + one.size());

    mgr->closelog();
    EXPECT_EQ(mgr->socketType(), SOCK_DGRAM);
    EXPECT_FALSE(mgr->isConnected());
    close(rx);
}

TEST_F(SysLogTest, ReconnectsAfterTheDaemonRestarts)
{
    int rx = dir.bindLog(SOCK_DGRAM);
    mgr->openlog("r", LOG_NDELAY, 0);
    dir.closeLog();
    rx = dir.bindLog(SOCK_DGRAM);
    mgr->syslog(LOG_INFO, "%s", "after restart");
    EXPECT_GE(mgr->sendmsg(), 0);
    EXPECT_EQ(test::receiveAll(rx),
              std::vector<std::string>{msg("<14>" + Stamp + "r: after restart")});
}

TEST_F(SysLogTest, FullLogSocketKeepsWhatFitsAndReportsWhatWasLost)
{
    // A send that waited would hang here: the alarm ends the run instead.
    alarm(20);
    const std::string text(677, 'y');
    const std::string filler = msg("<14>" + Stamp + "f: " + text);
    const int total = 3000;   // far more than a socket and the batch hold
    for (int type : {SOCK_DGRAM, SOCK_STREAM}) {
        SysLogManager m;
        const int listener = dir.bindLog(type);
        m.openlog("f", LOG_NDELAY, 0);
        ASSERT_TRUE(m.isConnected());
        const int rx = type == SOCK_STREAM ? accept(listener, nullptr, nullptr) : listener;
        // A small send buffer: a stream then stops inside a message.
        const int small = 4096;
        setsockopt(m.socketDescriptor(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        for (int i = 0; i < total; ++i)
            m.syslog(LOG_INFO, "%s", text.c_str());
        m.sendmsg();
        EXPECT_GT(m.queuedMessages(), 0) << type;

        // The receiver reads again: the loop sends what waits as the
        // socket takes it, and the count goes before the next message.
        std::vector<std::string> got;
        std::string bytes;
        const auto receive = [&] {
            if (type == SOCK_DGRAM) {
                for (const std::string& datagram : test::receiveAll(rx))
                    got.push_back(datagram);
            } else {
                bytes += test::readAvailable(rx);
            }
        };
        m.syslog(LOG_ERR, "%s", "after");
        while (m.queuedMessages() > 0) {
            receive();
            multiplexer.runTurnForTest();
        }
        receive();
        for (std::size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
            got.push_back(bytes.substr(start, end + 1 - start));
        const std::size_t whole = static_cast<std::size_t>(std::count(got.begin(), got.end(), filler));
        std::vector<std::string> expected(whole, filler);
        expected.push_back(msg("<11>" + Stamp + "f: SysLogManager: " + std::to_string(total - whole) +
                               " messages lost"));
        expected.push_back(msg("<11>" + Stamp + "f: after"));
        EXPECT_EQ(got, expected) << type;
        if (rx != listener)
            close(rx);
    }
    alarm(0);
}

TEST_F(SysLogTest, ConsoleAndStandardErrorCopies)
{
    // No log socket: LOG_CONS writes to the console instead.
    std::ofstream(dir.path + "/dev/console").close();
    mgr->openlog("c", LOG_CONS, 0);
    mgr->syslog(LOG_ERR, "%s", "lost");
    EXPECT_FALSE(mgr->isConnected());
    std::ifstream console(dir.path + "/dev/console");
    std::stringstream text;
    text << console.rdbuf();
    EXPECT_EQ(text.str(), "c: lost\r\n");

    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    int saved = dup(2);
    dup2(pipefd[1], 2);
    mgr->openlog("p", LOG_PERROR, 0);
    mgr->syslog(LOG_ERR, "%s", "one");
    mgr->syslog(LOG_ERR, "%s", "two\n");
    dup2(saved, 2);
    close(saved);
    close(pipefd[1]);
    EXPECT_EQ(test::readAvailable(pipefd[0]), "p: one\np: two\n");
    close(pipefd[0]);
}

TEST_F(SysLogTest, ManagedStreamCutsLinesAndSendsPerFlush)
{
    int rx = dir.bindLog(SOCK_DGRAM);
    syslogManager.openlog("vlx", LOG_NDELAY, 0);
    ManagedSysLogStreamBuf buf(LOG_DAEMON, LOG_ERR);
    std::ostream os(&buf);

    os << "first\n\nsec" << "ond %s\nthird";
    EXPECT_EQ(test::receiveAll(rx), std::vector<std::string>{});
    os << std::endl;
    const std::string p = "<27>" + Stamp + "vlx: ";
    EXPECT_EQ(test::receiveAll(rx), (std::vector<std::string>{msg(p + "first"), msg(p),
                                                              msg(p + "second %s"),
                                                              msg(p + "third")}));

    os << "tail";
    os.flush();  // no LF and room left: stays
    EXPECT_EQ(test::receiveAll(rx), std::vector<std::string>{});
    os << "\nlast" << std::flush;  // the piece after the LF goes too
    EXPECT_EQ(test::receiveAll(rx),
              (std::vector<std::string>{msg(p + "tail"), msg(p + "last")}));

    // A line longer than the area goes out in pieces of 16383.
    os << std::string(16383 + 5, 'L') << std::endl;
    EXPECT_EQ(test::receiveAll(rx).size(), 2u);
}

namespace {

// The line cutting of the plain buffer, with the messages captured.
struct CapturingBuf : SysLogStreamBuf {
    CapturingBuf() : SysLogStreamBuf(LOG_LOCAL1, LOG_NOTICE) {}
    void message(const char* text) override { lines.push_back(text); }
    void flushed() override { ++flushes; }
    std::vector<std::string> lines;
    int flushes = 0;
};

} // namespace

TEST(SysLogStreamBuf, CutsLinesAndLongText)
{
    CapturingBuf buf;
    EXPECT_EQ(buf.priority(), LOG_LOCAL1 | LOG_NOTICE);
    std::ostream os(&buf);
    os << "a" << std::flush;
    EXPECT_EQ(buf.flushes, 0);
    os << std::string(1022, 'b') << 'c' << std::flush;  // 1023 fill the area, 'c' overflows
    os << std::endl;
    EXPECT_EQ(buf.lines, (std::vector<std::string>{"a" + std::string(1022, 'b'), "c"}));
    EXPECT_EQ(buf.flushes, 2);
}
