#pragma once
// Daemon mode: detach from the terminal and send everything written to
// std::cout, std::cerr and std::clog to the system log (mode 0: as
// daemon.notice, daemon.err and daemon.debug) or to hourly log files in a
// directory (mode 1).
#include <string>

class LogFileStreamBuf;

namespace Daemon {

struct Params {
    int mode = 0;          // 0 system log, 1 hourly log files, other: detach only
    bool nochdir = false;  // false: the working directory becomes "/"
    std::string name = "unknown";  // syslog identity (mode 0) or log directory (mode 1)
};

// Built once per process by Init; lives until exit.
class Sentry {
public:
    // Detaches with daemon(); on failure writes "daemon() fail!" and exits with 2.
    explicit Sentry(const Params& params);
    // Mode 1: detaches the streams and deletes the log-file buffer. The
    // syslog buffers of mode 0 stay attached for the rest of the process.
    ~Sentry();
    Sentry(const Sentry&) = delete;
    Sentry& operator=(const Sentry&) = delete;

private:
    int mMode;
    LogFileStreamBuf* mLogFile = nullptr;
};

// The first call builds the process's Sentry; later calls do nothing.
void Init(const Params& params);

} // namespace Daemon
