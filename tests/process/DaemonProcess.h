#pragma once
// The real stalvane in a process of its own: on the simulated board, under a
// temporary STALVANE_ROOT (with a watchdog file, /var/run and /var/log), on a
// free port, its standard output and error in files of that root, the
// board's request log in "sim.log" there.
//
// The daemon is STALVANE_DAEMON when set, else the one built with the tests;
// STALVANE_DAEMON_EMULATOR (words split at blanks, e.g. "qemu-ppc -L
// /usr/powerpc-linux-gnu") runs it under an emulator. Waits poll the other
// process's files or state within a time-out; nothing here sleeps for a timer.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "asn1/modules/LGCP.h"
#include "tools/ControllerClient.h"

namespace proctest {

// Time-outs of the waits, generous for a daemon under an emulator.
const int kStartMs = 30000;
const int kAnswerMs = 10000;

// One line of the simulated board's request log.
struct SimRequest {
    std::string op;
    std::string device;
    std::uint32_t code = 0;
    std::vector<unsigned char> data;
};

class DaemonProcess {
public:
    DaemonProcess();
    // Kills a daemon still running (a detached one too, found by its root)
    // and removes the root.
    ~DaemonProcess();
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

    // Starts the daemon with these arguments (argv[0] is added).
    bool start(const std::vector<std::string>& args);
    // Starts it with --port and the free port.
    bool startOnPort() { return start({"--port", std::to_string(port)}); }
    // The exit status (or 128 + signal); -1 when it has not ended in time.
    int wait(int timeoutMs = kStartMs);
    // After a --daemon start has ended: the detached daemon (its pid file's
    // pid) becomes the process that signal() and the destructor reach.
    bool followDaemon();
    bool signal(int signo);
    pid_t pid() const { return pid_; }

    // A path under the root, a file's whole content ("" when missing).
    std::string path(const std::string& name) const { return root + name; }
    std::string readFile(const std::string& name) const;
    bool exists(const std::string& name) const;
    std::string out() const { return readFile("/stdout"); }
    std::string err() const { return readFile("/stderr"); }
    // Waits until the file holds the text.
    bool waitForText(const std::string& name, const std::string& text, int timeoutMs = kStartMs) const;

    std::vector<SimRequest> simLog() const;
    // Switch and clock requests from entry `from` of the log on, as
    // "connect 39 <- 5", "write 39 d5", "clock 4"; the sweep's disables left out.
    std::vector<std::string> switchRequests(std::size_t from) const;
    // Waits until switchRequests(from) holds the request.
    bool waitForSwitchRequest(std::size_t from, const std::string& request, int timeoutMs = kAnswerMs) const;

    const std::uint16_t port;

private:
    std::string root;
    pid_t pid_ = -1;
};

// The processes still running (a zombie has ended) whose environment says
// STALVANE_ROOT=root: a daemon, or its emulator, however detached.
std::vector<pid_t> processesUnder(const std::string& root);

// The system log of a daemon started with --daemon: a datagram socket bound
// at "/dev/log" under its root, read only when the test asks.
class LogReceiver {
public:
    explicit LogReceiver(const DaemonProcess& daemon);
    ~LogReceiver();
    LogReceiver(const LogReceiver&) = delete;
    LogReceiver& operator=(const LogReceiver&) = delete;

    bool bound() const { return bound_; }
    // The next message (with its ending NUL), "" for none in time.
    std::string next(int timeoutMs);

private:
    int fd = -1;
    bool bound_ = false;
};

// A controller of the daemon: stalvane-ctl's client, numbering its requests.
class Controller {
public:
    // Retries while the daemon is not listening yet.
    bool connect(std::uint16_t port, int timeoutMs = kStartMs);
    void close() { client.close(); }

    // Sends the pdu (value notation) with the next seq and the slot (when
    // >= 0); returns the answer of that seq flattened, "" for none in time.
    // Signals received meanwhile are kept.
    std::string command(const std::string& pdu, int slot = -1);
    // The next signal of that kind ("query", "trunkStatus") flattened, ""
    // for none in time; signals of other kinds stay kept.
    std::string signal(const std::string& kind, int timeoutMs = kAnswerMs);
    // The next message of any kind flattened; "closed", "timeout" or "failed" otherwise.
    std::string next(int timeoutMs);
    // As next, but signals are kept and waited past: what else comes within
    // the time-out.
    std::string nextNotSignal(int timeoutMs);

    Tools::ControllerClient client;
    std::vector<std::string> signals;   // received, not yet taken

private:
    std::int32_t seq = 1;
};

// A message in value notation on one line, blank runs made one blank.
std::string flat(const LGCP::Message& message);

// How often part occurs in text from `from` on (a line said once, not per byte).
std::size_t occurrences(const std::string& text, const std::string& part, std::size_t from = 0);

} // namespace proctest
