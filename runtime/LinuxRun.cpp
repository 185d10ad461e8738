#include "runtime/LinuxRun.h"

#include <fcntl.h>
#include <unistd.h>

#include "runtime/Fd.h"
#include "runtime/FixedPath.h"

namespace Linux {

Run::Run(const char* name) : fd(-1), path(fixedPath(std::string("/var/run/") + name + ".pid"))
{
    fd = openRegularFile(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_SYNC, 0644).release();
    if (fd < 0)
        return;
    // Digits built by hand: no locale, no sign, no newline.
    char digits[16];
    char* end = digits + sizeof digits;
    char* begin = end;
    unsigned long pid = static_cast<unsigned long>(::getpid());
    do {
        *--begin = static_cast<char>('0' + pid % 10);
        pid /= 10;
    } while (pid != 0);
    if (::write(fd, begin, static_cast<std::size_t>(end - begin)) >= 0)
        ::fsync(fd);
}

Run::~Run()
{
    if (fd >= 0) {
        ::close(fd);
        ::unlink(path.c_str());
    }
}

} // namespace Linux
