#pragma once
// Environment settings for the life of an object: a variable, local time as
// UTC, and a temporary folder as STALVANE_ROOT (removed with its content).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <string>

#include <ftw.h>
#include <sys/stat.h>

namespace test {

// Sets a variable; puts back what was there (or nothing) at restore().
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name(name)
    {
        const char* old = getenv(name);
        wasSet = old != nullptr;
        saved = wasSet ? old : "";
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { restore(); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void restore()
    {
        if (restored)
            return;
        restored = true;
        if (wasSet)
            setenv(name, saved.c_str(), 1);
        else
            unsetenv(name);
    }

private:
    const char* name;
    bool wasSet;
    bool restored = false;
    std::string saved;
};

class UtcZone {
public:
    UtcZone() { tzset(); }
    ~UtcZone()
    {
        zone.restore();
        tzset();
    }

private:
    ScopedEnv zone{"TZ", "UTC0"};
};

class TempRoot {
public:
    // `folders` are made below the root, in order ("dev", "dev/misc").
    explicit TempRoot(std::initializer_list<const char*> folders = {})
    {
        for (const char* folder : folders)
            EXPECT_EQ(mkdir((path + "/" + folder).c_str(), 0755), 0) << folder;
    }
    ~TempRoot()
    {
        root.restore();
        nftw(path.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
             FTW_DEPTH | FTW_PHYS);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string path = makeFolder();

private:
    static std::string makeFolder()
    {
        char name[] = "/tmp/stalvane-XXXXXX";
        if (mkdtemp(name) == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        return name;
    }

    ScopedEnv root{"STALVANE_ROOT", path};
};

} // namespace test
