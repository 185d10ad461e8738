#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "runtime/LinuxRun.h"

namespace {

class PidFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A death test's child re-runs SetUp: it works in its parent's folder.
        if (const char* inherited = std::getenv("STALVANE_PID_TEST_ROOT")) {
            root = inherited;
            file = root + "/var/run/server.pid";
            ::setenv("STALVANE_ROOT", root.c_str(), 1);
            return;
        }
        char pattern[] = "/tmp/stalvane-run-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        ASSERT_EQ(::mkdir((root + "/var").c_str(), 0755), 0);
        ::setenv("STALVANE_ROOT", root.c_str(), 1);
        file = root + "/var/run/server.pid";
    }
    void TearDown() override
    {
        ::unsetenv("STALVANE_ROOT");
        ::unlink(file.c_str());
        ::rmdir((root + "/var/run").c_str());
        ::rmdir((root + "/var").c_str());
        ::rmdir(root.c_str());
    }
    std::string content() const
    {
        std::ifstream in(file.c_str(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string root;
    std::string file;
};

} // namespace

TEST_F(PidFileTest, HoldsExactlyThePidDigitsAndGoesAwayAtTheEnd)
{
    ASSERT_EQ(::mkdir((root + "/var/run").c_str(), 0755), 0);
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
        ASSERT_EQ(::mkdir((root + "/var/run").c_str(), 0755), 0);
        std::ofstream other(file.c_str());
    }
    EXPECT_EQ(::access(file.c_str(), F_OK), 0);
}

TEST_F(PidFileTest, AnAbortLeavesTheFile)
{
    ::mkdir((root + "/var/run").c_str(), 0755);   // the death test's child finds it made
    ::setenv("STALVANE_PID_TEST_ROOT", root.c_str(), 1);
    EXPECT_DEATH(
        {
            Linux::Run run("server");
            std::abort();
        },
        "");
    ::unsetenv("STALVANE_PID_TEST_ROOT");
    EXPECT_FALSE(content().empty());
}
