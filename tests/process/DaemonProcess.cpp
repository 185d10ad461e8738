#include "DaemonProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "board/HalRecords.h"
#include "board/SpiRecords.h"

namespace proctest {

namespace {

using Steady = std::chrono::steady_clock;

// How often a wait looks at the other process again.
const auto kPollStep = std::chrono::milliseconds(10);

// A port nobody listens on now: the kernel's pick for port 0.
std::uint16_t freePort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    socklen_t size = sizeof a;
    std::uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

std::vector<std::string> words(const char* text)
{
    std::vector<std::string> out;
    std::istringstream in(text != nullptr ? text : "");
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

template <class Predicate>
bool waitUntil(int timeoutMs, Predicate done)
{
    const Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done())
            return true;
        if (Steady::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollStep);
    }
}

std::string wholeFile(const std::string& name)
{
    std::ifstream in(name.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<unsigned char> fromHex(const std::string& text)
{
    std::vector<unsigned char> out;
    if (text == "-")
        return out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

} // namespace

DaemonProcess::DaemonProcess() : port(freePort())
{
    char folder[] = "/tmp/stalvane-process-XXXXXX";
    const char* made = ::mkdtemp(folder);
    root = made != nullptr ? made : "";
    for (const char* dir : {"/dev", "/dev/misc", "/var", "/var/run", "/var/log", "/usr", "/usr/local",
                            "/usr/local/etc"})
        ::mkdir((root + dir).c_str(), 0700);
    std::ofstream(path("/dev/misc/gw-wd").c_str());
}

DaemonProcess::~DaemonProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (root.empty())
        return;
    // A --daemon start not followed (a failed assertion) left a detached
    // daemon that is nobody's child here. daemon() forks it before its
    // parent ends, so with the parent reaped it can be found by its root.
    waitUntil(kAnswerMs, [&] {
        const std::vector<pid_t> left = processesUnder(root);
        for (pid_t pid : left)
            ::kill(pid, SIGKILL);
        return left.empty();
    });
    std::system(("rm -rf '" + root + "'").c_str());
}

bool DaemonProcess::start(const std::vector<std::string>& args)
{
    const char* daemon = std::getenv("STALVANE_DAEMON");
    std::vector<std::string> argv = words(std::getenv("STALVANE_DAEMON_EMULATOR"));
    argv.push_back(daemon != nullptr && *daemon != '\0' ? daemon : STALVANE_DAEMON_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv)
        pointers.push_back(&a[0]);
    pointers.push_back(nullptr);
    const std::string out = path("/stdout");
    const std::string err = path("/stderr");
    const std::string sim = path("/sim.log");

    pid_ = ::fork();
    if (pid_ < 0)
        return false;
    if (pid_ == 0) {
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int n = ::open("/dev/null", O_RDONLY);
        if (o < 0 || e < 0 || n < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 || ::dup2(n, 0) < 0)
            ::_exit(127);
        ::setenv("STALVANE_ROOT", root.c_str(), 1);
        ::setenv("STALVANE_BOARD", "sim", 1);
        ::setenv("STALVANE_SIM_LOG", sim.c_str(), 1);
        ::execvp(pointers[0], pointers.data());
        ::_exit(127);
    }
    return true;
}

int DaemonProcess::wait(int timeoutMs)
{
    int status = 0;
    bool ended = waitUntil(timeoutMs, [&] { return pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended)
        return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool DaemonProcess::followDaemon()
{
    const pid_t daemon = static_cast<pid_t>(std::atoi(readFile("/var/run/server.pid").c_str()));
    if (daemon <= 0)
        return false;
    pid_ = daemon;
    return true;
}

bool DaemonProcess::signal(int signo)
{
    return pid_ > 0 && ::kill(pid_, signo) == 0;
}

std::string DaemonProcess::readFile(const std::string& name) const
{
    return wholeFile(path(name));
}

bool DaemonProcess::exists(const std::string& name) const
{
    return ::access(path(name).c_str(), F_OK) == 0;
}

bool DaemonProcess::waitForText(const std::string& name, const std::string& text, int timeoutMs) const
{
    return waitUntil(timeoutMs, [&] { return readFile(name).find(text) != std::string::npos; });
}

std::vector<SimRequest> DaemonProcess::simLog() const
{
    std::vector<SimRequest> log;
    std::istringstream in(readFile("/sim.log"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        SimRequest r;
        std::string code, value, data;
        if (fields >> r.op >> r.device >> code >> value >> data) {
            r.code = static_cast<std::uint32_t>(std::strtoul(code.c_str(), nullptr, 16));
            r.data = fromHex(data);
            log.push_back(r);
        }
    }
    return log;
}

std::vector<std::string> DaemonProcess::switchRequests(std::size_t from) const
{
    std::vector<std::string> out;
    std::vector<SimRequest> log = simLog();
    for (std::size_t i = from; i < log.size(); ++i) {
        const SimRequest& r = log[i];
        if (r.op != "ioctl" || r.device != "/dev/hal")
            continue;
        if (r.code == Hal::kConnect && r.data.size() == Hal::ConnectRecord::kSize) {
            Hal::ConnectRecord c = Hal::ConnectRecord::decode(r.data.data());
            out.push_back("connect " + std::to_string(c.output) + " <- " + std::to_string(c.source));
        } else if (r.code == Hal::kWrite && r.data.size() == Hal::ByteRecord::kSize) {
            Hal::ByteRecord b = Hal::ByteRecord::decode(r.data.data());
            char text[32];
            std::snprintf(text, sizeof text, "write %d %x", static_cast<int>(b.channel),
                          static_cast<unsigned>(b.value));
            out.push_back(text);
        } else if (r.code == Clock::kSelect && r.data.size() == Clock::SelectRecord::kSize) {
            out.push_back("clock " + std::to_string(Clock::SelectRecord::decode(r.data.data()).code));
        }
    }
    return out;
}

bool DaemonProcess::waitForSwitchRequest(std::size_t from, const std::string& request, int timeoutMs) const
{
    return waitUntil(timeoutMs, [&] {
        for (const std::string& r : switchRequests(from))
            if (r == request)
                return true;
        return false;
    });
}

std::vector<pid_t> processesUnder(const std::string& root)
{
    std::vector<pid_t> found;
    const std::string entry = std::string(1, '\0') + "STALVANE_ROOT=" + root + '\0';
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return found;
    while (const dirent* e = ::readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
        const std::string folder = std::string("/proc/") + e->d_name;
        if (pid <= 0 || (std::string(1, '\0') + wholeFile(folder + "/environ")).find(entry) == std::string::npos)
            continue;
        // The state follows the command name's closing parenthesis.
        const std::string stat = wholeFile(folder + "/stat");
        const std::size_t close = stat.rfind(')');
        if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z' && stat[close + 2] != 'X')
            found.push_back(pid);
    }
    ::closedir(proc);
    return found;
}

LogReceiver::LogReceiver(const DaemonProcess& daemon)
    : fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    daemon.path("/dev/log").copy(address.sun_path, sizeof address.sun_path - 1);
    bound_ = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

LogReceiver::~LogReceiver()
{
    if (fd >= 0)
        ::close(fd);
}

std::string LogReceiver::next(int timeoutMs)
{
    pollfd entry = {fd, POLLIN, 0};
    char datagram[2048];
    if (::poll(&entry, 1, timeoutMs) != 1)
        return "";
    const ssize_t n = ::recv(fd, datagram, sizeof datagram, MSG_DONTWAIT);
    return n > 0 ? std::string(datagram, static_cast<std::size_t>(n)) : "";
}

bool Controller::connect(std::uint16_t port, int timeoutMs)
{
    return waitUntil(timeoutMs, [&] { return client.connect("127.0.0.1", port, timeoutMs); });
}

std::string Controller::next(int timeoutMs)
{
    LGCP::Message m;
    switch (client.receive(m, timeoutMs)) {
    case Tools::ControllerClient::Received:
        return flat(m);
    case Tools::ControllerClient::TimedOut:
        return "timeout";
    case Tools::ControllerClient::Closed:
        return "closed";
    default:
        return "failed";
    }
}

std::string Controller::nextNotSignal(int timeoutMs)
{
    const Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
        std::string message = next(left > 0 ? static_cast<int>(left) : 0);
        if (message.compare(0, 15, "{ pdu signal : ") != 0)
            return message;
        signals.push_back(message);
    }
}

std::string Controller::command(const std::string& pdu, int slot)
{
    const std::int32_t mySeq = seq++;
    const std::uint32_t mySlot = static_cast<std::uint32_t>(slot);
    LGCP::Message m;
    if (!Tools::buildMessage(pdu, &mySeq, slot >= 0 ? &mySlot : nullptr, m) || !client.send(m))
        return "";
    const Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(kAnswerMs);
    while (Steady::now() < deadline) {
        LGCP::Message answer;
        const int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count());
        if (client.receive(answer, left) != Tools::ControllerClient::Received)
            return "";
        if (answer.get_pdu().currentSelection() == LGCP::PDU::signal_chosen)
            signals.push_back(flat(answer));
        else if (answer.has_seq() && answer.get_seq().getValue() == mySeq)
            return flat(answer);
    }
    return "";
}

std::string Controller::signal(const std::string& kind, int timeoutMs)
{
    const std::string marker = "pdu signal : " + kind + " ";
    const Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    for (std::size_t i = 0;; ++i) {
        if (i == signals.size()) {
            LGCP::Message m;
            const int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count());
            if (left <= 0 || client.receive(m, left) != Tools::ControllerClient::Received)
                return "";
            signals.push_back(flat(m));
        }
        if (signals[i].find(marker) != std::string::npos) {
            std::string found = signals[i];
            signals.erase(signals.begin() + static_cast<long>(i));
            return found;
        }
    }
}

std::string flat(const LGCP::Message& message)
{
    std::ostringstream printed;
    printed << message;
    std::string out;
    for (char c : printed.str()) {
        const bool blank = c == ' ' || c == '\n' || c == '\t';
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::size_t occurrences(const std::string& text, const std::string& part, std::size_t from)
{
    std::size_t count = 0;
    for (std::size_t at = from; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++count;
    return count;
}

} // namespace proctest
