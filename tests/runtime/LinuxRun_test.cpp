#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>

#include "runtime/LinuxRun.h"
#include "support/TempRoot.h"

namespace {

class PidFileTest : public ::testing::Test
{
protected:
    void makeRunFolder() { ASSERT_EQ(::mkdir((root.path + "/var/run").c_str(), 0755), 0); }
    std::string content() const
    {
        std::ifstream in(file.c_str(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    test::TempRoot root{"var"};
    const std::string file = root.path + "/var/run/server.pid";
};

} // namespace

TEST_F(PidFileTest, HoldsExactlyThePidDigitsAndGoesAwayAtTheEnd)
{
    makeRunFolder();
    {
        std::ofstream stale(file.c_str());
        stale << "123456789012 stale\n";
    }
    {
        Linux::Run run("server");
        EXPECT_TRUE(run.isOpen());
        EXPECT_EQ(run.getPath(), file);
        EXPECT_EQ(content(), std::to_string(::getpid()));
        struct stat info{};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0644u & ~[] { mode_t m = ::umask(0); ::umask(m); return m; }());
    }
    EXPECT_NE(::access(file.c_str(), F_OK), 0);
}

TEST_F(PidFileTest, MissingFolderMeansNoFileAndNothingRemoved)
{
    {
        Linux::Run run("server");
        EXPECT_FALSE(run.isOpen());
        // Created meanwhile by someone else: not ours to remove.
        makeRunFolder();
        std::ofstream other(file.c_str());
    }
    EXPECT_EQ(::access(file.c_str(), F_OK), 0);
}

TEST_F(PidFileTest, AnAbortLeavesTheFile)
{
    makeRunFolder();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Linux::Run run("server");
        std::abort();
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << status;
    EXPECT_EQ(content(), std::to_string(child));
}
