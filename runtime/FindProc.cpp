#include "runtime/FindProc.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/Fd.h"
#include "runtime/FixedPath.h"

namespace {

// The command name is what lies between the first "(" and the last ")" of
// the first 255 bytes, so names holding ")" still match.
bool matches(const std::string& proc, int pid, const char* name)
{
    char path[64];
    std::snprintf(path, sizeof(path), "/%d/stat", pid);
    Fd file(::open((proc + path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file)
        return false;
    char text[256];
    ssize_t got = ::read(file.get(), text, 255);
    if (got <= 0)
        return false;
    const std::string stat(text, static_cast<std::size_t>(got));
    std::size_t open = stat.find('(');
    std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;
    return stat.compare(open + 1, close - open - 1, name) == 0;
}

} // namespace

int find_proc_by_name(const char* name, int hint_pid)
{
    const std::string proc = fixedPath("/proc");
    if (hint_pid > 0 && matches(proc, hint_pid, name))
        return hint_pid;
    DIR* dir = ::opendir(proc.c_str());
    if (dir == nullptr)
        return -1;
    int found = -1;
    // readdir64: on a 32-bit target a large inode number would end readdir()
    // with EOVERFLOW.
    while (const dirent64* entry = ::readdir64(dir)) {
        int pid = std::atoi(entry->d_name);
        if (pid > 0 && matches(proc, pid, name)) {
            found = pid;
            break;
        }
    }
    ::closedir(dir);
    return found;
}
