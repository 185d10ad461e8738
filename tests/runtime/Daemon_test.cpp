// Daemon::Init forks and ends its caller, so each case runs it in a child;
// the test learns that the detached grandchild is done when the pipe it
// inherited closes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/Daemon.h"
#include "runtime/Mux.h"
#include "support/LogSocket.h"

namespace {

// Runs `body` in a daemonised grandchild; returns when it has exited.
template<class Body>
void runDetached(Body body)
{
    int done[2];
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(done[0]);
        body();
        _exit(99);  // not reached: body ends the process
    }
    close(done[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    char c;
    while (read(done[0], &c, 1) > 0) {
    }
    close(done[0]);
}

} // namespace

TEST(Daemon, LogFilesModeSendsAllThreeStreamsToTheHourlyFile)
{
    test::LogDir dir;
    Mux::g_tv_time = {1714745109, 42};  // 2024-05-03 14:05:09 UTC
    runDetached([&] {
        Daemon::Params params;
        params.mode = 1;
        params.nochdir = true;
        params.name = dir.path;
        Daemon::Init(params);
        std::cout << "notice" << std::endl;
        std::cerr << "error" << std::endl;
        Daemon::Params other;  // a second call changes nothing
        other.name = "elsewhere";
        Daemon::Init(other);
        std::clog << "debug" << std::endl;
        std::exit(0);  // the sentry closes the file at exit
    });
    Mux::g_tv_time = {0, 0};
    std::ifstream in(dir.path + "/2024_05_03-14.log");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "05:09:00042: notice\n05:09:00042: error\n05:09:00042: debug\n");
}

TEST(Daemon, SyslogModeSendsStreamsAndRawWritesToTheLogSocket)
{
    test::LogDir dir;
    int rx = dir.bindLog(SOCK_DGRAM);
    Mux::g_tv_time = {1704164645, 0};  // 2024-01-02 03:04:05 UTC
    runDetached([&] {
        Daemon::Params params;
        params.name = "vlx-" + std::string(100, 'v');  // identity cut to 79 characters
        Daemon::Init(params);
        std::cout << "notice" << std::endl;
        std::cerr << "error" << std::endl;
        std::clog << "debug" << std::endl;
        ssize_t n = write(1, "raw", 3);
        _exit(n == 3 ? 0 : 1);
    });
    Mux::g_tv_time = {0, 0};
    const std::string head = "Jan  2 03:04:05 vlx-" + std::string(75, 'v') + ": ";
    EXPECT_EQ(test::receiveAll(rx),
              (std::vector<std::string>{"<29>" + head + "notice" + std::string(1, '\0'),
                                        "<27>" + head + "error" + std::string(1, '\0'),
                                        "<31>" + head + "debug" + std::string(1, '\0'), "raw"}));
}
