// stalvane: reads its configuration, builds the slot factories and the board
// services, binds the control services and serves one controller on its TCP
// port until SIGTERM or SIGINT.
#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>

#include "board/BoardDevice.h"
#include "board/sim/SimBoard.h"
#include "control/CtrlSrvServer.h"
#include "control/TraceCtl.h"
#include "daemon/Startup.h"
#include "core/Slots.h"
#include "hardware/BusCtl.h"
#include "hardware/HwMux.h"
#include "monitoring/MonitoringCtl.h"
#include "protocol/AcceptorNet.h"
#include "runtime/ChildWait.h"
#include "runtime/Daemon.h"
#include "runtime/Dpc.h"
#include "runtime/Fd.h"
#include "runtime/FixedPath.h"
#include "runtime/IniFile.h"
#include "runtime/LineStreamBuf.h"
#include "runtime/LinuxRun.h"
#include "runtime/Multiplexer.h"
#include "runtime/Signal.h"
#include "runtime/Version.h"

namespace {

volatile std::sig_atomic_t doDumpStatus = 0;
volatile std::sig_atomic_t updateResources = 0;
int print_version = 0;

const char configFile[] = "/usr/local/etc/server.conf";

const struct option long_options[] = {
    {"daemon", no_argument, nullptr, 'D'},
    {"disable-clock", no_argument, nullptr, 'c'},
    {"port", required_argument, nullptr, 'p'},
    {"version", no_argument, &print_version, 1},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

const char sUsageText[] =
    "Usage:\n"
    " stalvane -Dh\n"
    "  -D --daemon                      run as daemon\n"
    "  -p --port                        use this port\n"
    "     --disable-clock               disable clock control\n"
    "     --version                     print version\n"
    "  -h --help                        display this information\n";

const int defaultPort = 20001;

// The handlers only store a flag: nothing they do can change errno.
void SigPipeHandler(int, siginfo_t*, void*) {}

void SigTermHandler(int, siginfo_t*, void*)
{
    multiplexer.terminate();
}

void SigUsr2Handler(int, siginfo_t*, void*)
{
    doDumpStatus = 1;
}

void SigHupHandler(int, siginfo_t*, void*)
{
    updateResources = 1;
}

[[noreturn]] void usage(int status)
{
    std::cout << sUsageText << std::endl;
    std::exit(status);
}

// A port is a whole number in 1..65535, digits only; anything else is a
// usage error rather than a listener on a port nobody asked for.
bool parsePort(const char* text, int& port)
{
    if (text == nullptr || *text == '\0')
        return false;
    for (const char* p = text; *p != '\0'; ++p)
        if (*p < '0' || *p > '9')
            return false;
    // Too many digits saturate at LONG_MAX: out of range too.
    long value = std::strtol(text, nullptr, 10);
    if (value < 1 || value > 65535)
        return false;
    port = static_cast<int>(value);
    return true;
}

void RunDaemon()
{
    Daemon::Params params;
    std::ostringstream name;
    name << "vlx-" << Version::current;
    params.name = name.str();
    Daemon::Init(params);
}

void CheckDumpStatus()
{
    if (doDumpStatus == 0)
        return;
    doDumpStatus = 0;
    // Never waits on the file: a FIFO there is a file that did not open.
    Fd file(openRegularFile(fixedPath("/var/log/server-status").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666));
    bool written = false;
    if (file) {
        std::ostringstream out;
        out << "server status information." << " stalvane gateway" << "\n";
        out << "version : " << Version::current << "\n";
        multiplexer.dump(out);
        const std::string text = out.str();
        written = writeAll(file.get(), text.data(), text.size());
    }
    if (!written)
        std::cerr << "dump status error" << std::endl;
}

void CheckUpdateResources()
{
    if (updateResources == 0)
        return;
    updateResources = 0;
    std::clog << "update hardware resources" << std::endl;
    Slots::instance().UpdateHardwareResources();
}

void CheckSignals()
{
    CheckDumpStatus();
    CheckUpdateResources();
}

} // namespace

int main(int argc, char** argv)
{
    // Nobody reads the simulated board's request log in memory here: it
    // would only grow (a file gets it when STALVANE_SIM_LOG names one).
    if (SimBoard* sim = dynamic_cast<SimBoard*>(&BoardDevice::get()))
        sim->keepRequests(false);

    std::unique_ptr<IniFile::File> file(new IniFile::File);
    if (file->Open(fixedPath(configFile))) {
        traces = TraceCtl();
        traces.Configure(*(*file)["traces"]);
    } else {
        std::clog << "config file " << file->GetFileName() << " not opened, defaults used" << std::endl;
    }

    IPC::Signal::Set empty;
    IPC::Signal::handle(SIGPIPE, SigPipeHandler, empty, SA_RESTART);
    IPC::Signal::handle(SIGTERM, SigTermHandler, empty);
    IPC::Signal::handle(SIGINT, SigTermHandler, empty);
    IPC::Signal::handle(SIGUSR2, SigUsr2Handler, empty, SA_RESTART);
    IPC::Signal::handle(SIGHUP, SigHupHandler, empty, SA_RESTART);

    bool daemon = false;
    int port = defaultPort;
    opterr = 1;
    for (;;) {
        int option = getopt_long(argc, argv, "Dh", long_options, nullptr);
        if (option == -1)
            break;
        switch (option) {
        case 0:   // a flag option (--version)
            break;
        case 'D':
            daemon = true;
            break;
        case 'c':
            BusCtl::instance().DisableControl();
            break;
        case 'p':
            if (!parsePort(optarg, port))
                usage(2);
            break;
        case 'h':
            usage(0);
        default:
            usage(2);
        }
    }

    if (print_version != 0) {
        std::cout << "server version: " << Version::current << std::endl;
        return 2;
    }

    Startup::buildSlotFactories();
    HwMux::instance();
    MonitoringCtl::instance().Configure(*file);

    if (daemon)
        RunDaemon();
    else
        writeStandardErrorByLines();

    std::unique_ptr<Linux::Run> pidFile(new Linux::Run("server"));

    std::cout << "Starting server " << "[" << Version::current << "]" << ", port=" << port << std::endl;

    Startup::bindControlServices(ctrlServer);

    ChildWait::Activate();

    Dpc signals;
    signals.Bind(new DpcHandler1(CheckSignals));
    signals.Activate();

    // The loop runs also when the listener does not start.
    ctrlServer.Activate(new Control::AcceptorNetCheckConnection(port));

    multiplexer.run(true, true);

    ctrlServer.Deactivate();
    signals.Deactivate();
    signals.Bind(nullptr);
    pidFile.reset();
    file.reset();
    return 0;
}
