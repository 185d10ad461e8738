#include "runtime/Daemon.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include <syslog.h>
#include <unistd.h>

#include "runtime/LogFileStreamBuf.h"
#include "runtime/SysLogManager.h"
#include "runtime/SysLogStreamBuf.h"

namespace Daemon {

namespace {

// openlog keeps a pointer-like view of its identity for the whole process.
char identity[80];

} // namespace

Sentry::Sentry(const Params& params) : mMode(params.mode)
{
    if (::daemon(params.nochdir ? 1 : 0, 0) != 0) {
        std::cerr << "daemon() fail!" << std::endl;
        std::exit(2);
    }
    if (mMode == 0) {
        std::strncpy(identity, params.name.c_str(), sizeof identity - 1);
        identity[sizeof identity - 1] = '\0';
        syslogManager.openlog(identity, LOG_NDELAY, 0);
        // Owned by the streams until exit.
        std::cout.rdbuf(new ManagedSysLogStreamBuf(LOG_DAEMON, LOG_NOTICE));
        std::cerr.rdbuf(new ManagedSysLogStreamBuf(LOG_DAEMON, LOG_ERR));
        std::clog.rdbuf(new ManagedSysLogStreamBuf(LOG_DAEMON, LOG_DEBUG));
        std::cin.tie(&std::cout);
        // Raw writes to descriptors 1 and 2 go to the log socket too.
        const int fd = syslogManager.socketDescriptor();
        if (fd >= 0) {
            if (fd != STDOUT_FILENO)
                ::dup2(fd, STDOUT_FILENO);
            if (fd != STDERR_FILENO)
                ::dup2(fd, STDERR_FILENO);
        }
    } else if (mMode == 1) {
        mLogFile = new LogFileStreamBuf(params.name);
        std::cout.rdbuf(mLogFile);
        std::cerr.rdbuf(mLogFile);
        std::clog.rdbuf(mLogFile);
    }
}

Sentry::~Sentry()
{
    if (mMode == 1) {
        std::cout.rdbuf(nullptr);
        std::cerr.rdbuf(nullptr);
        std::clog.rdbuf(nullptr);
        delete mLogFile;
    }
}

void Init(const Params& params)
{
    static Sentry sentry(params);
}

} // namespace Daemon
