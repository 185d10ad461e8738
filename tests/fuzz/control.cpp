// The control port as a controller reaches it: the input is one controller
// session, bytes written to the daemon's stream socket in chunks cut where
// the input says, through the TPKT layer to the control server with every
// control service bound, on the simulated board.
//
// Input: records of one length octet L and L bytes written as one chunk;
// L = 0 moves the loop clock on by one second instead. Every payload that
// decodes as a message is answered exactly once, in order, with its seq; one
// that does not decode is not answered; whatever the daemon writes decodes.
// When the session ends no slot is left and the packet pool is as before.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Fuzz.h"

#include "asn1/CoderEnv.h"
#include "asn1/modules/LGCP.h"
#include "board/BoardDevice.h"
#include "board/sim/SimBoard.h"
#include "control/CtrlSrvServer.h"
#include "core/Slots.h"
#include "daemon/Startup.h"
#include "hardware/HwMux.h"
#include "monitoring/MonitoringCtl.h"
#include "protocol/ControlService.h"
#include "protocol/Packet.h"
#include "runtime/IniFile.h"
#include "runtime/Multiplexer.h"
#include "runtime/Mux.h"
#include "tools/ControllerClient.h"

namespace {

int pollNow(pollfd* fds, nfds_t count, int)
{
    return ::poll(fds, count, 0);
}

unsigned noSleep(unsigned)
{
    return 0;
}

// The controller's end of a socket pair stands in for the TCP connection.
class PairTransport : public Control::Service {
public:
    PairTransport() { verbose = false; }
    ~PairTransport() override { closePeer(); }

    bool connect()
    {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return false;
        closePeer();
        peer = ends[1];
        ::fcntl(peer, F_SETFL, O_NONBLOCK);
        received.clear();
        Connected(Fd(ends[0]), "fuzz");
        return true;
    }
    void closePeer()
    {
        if (peer >= 0)
            ::close(peer);
        peer = -1;
    }
    bool write(const std::vector<char>& chunk)
    {
        return ::send(peer, chunk.data(), chunk.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(chunk.size());
    }
    // The messages written since the last call, decoded; a frame that does
    // not decode as a message breaks the run.
    std::vector<LGCP::Message> messages()
    {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(peer, buffer, sizeof buffer, 0)) > 0;)
            received.insert(received.end(), buffer, buffer + n);
        std::vector<LGCP::Message> out;
        std::vector<char> payload;
        long used;
        while ((used = Tools::cutTpkt(received.data(), received.size(), payload)) > 0) {
            received.erase(received.begin(), received.begin() + used);
            out.emplace_back();
            ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
            if (!ASN1::decode(payload.data(), payload.data() + payload.size(), &env, out.back(), true))
                fuzz::broken("the daemon wrote a frame that is no message: " + fuzz::hex(payload));
        }
        if (used < 0)
            fuzz::broken("the daemon wrote something that is no TPKT frame: " + fuzz::hex(received));
        return out;
    }

protected:
    bool ImplActivate() override { return true; }
    void ImplDeactivate() override {}
    void ImplOnDisconnect() override {}

private:
    int peer = -1;
    std::vector<char> received;
};

// Stands between the transport and the control server: notes each payload
// that decodes, and holds the answers the daemon writes against them in
// order (the stream layer writes the answers to one read together).
class AnswerCheck : public Control::Notify {
public:
    void OnConnect() override { ctrlServer.OnConnect(); }
    void OnDisconnect() override { ctrlServer.OnDisconnect(); }
    void OnMessage(const char* data, int length) override
    {
        LGCP::Message request;
        ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
        if (ASN1::decode(data, data + length, &env, request, true))
            requests.push_back(request);
        ctrlServer.OnMessage(data, length);
    }
    // Each request answered once, in order, with its seq; nothing else answered.
    void settle(const std::vector<LGCP::Message>& written)
    {
        std::size_t next = 0;
        for (const LGCP::Message& m : written) {
            if (m.get_pdu().currentSelection() != LGCP::PDU::response_chosen)
                continue;
            if (next == requests.size())
                fuzz::broken("an answer to no request: " + m.asValueNotation());
            const LGCP::Message& request = requests[next++];
            if (m.has_seq() != request.has_seq() ||
                (m.has_seq() && m.get_seq().getValue() != request.get_seq().getValue()))
                fuzz::broken(m.asValueNotation() + " answers " + request.asValueNotation());
        }
        if (next != requests.size())
            fuzz::broken("no answer to " + requests[next].asValueNotation());
        requests.clear();
    }

private:
    std::vector<LGCP::Message> requests;
};

// A root for the fixed paths, the simulated board, no log output.
std::string prepareProcess()
{
    char folder[] = "/tmp/stalvane-fuzz-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        fuzz::broken("no temporary root");
    ::setenv("STALVANE_ROOT", folder, 1);
    ::setenv("STALVANE_BOARD", "sim", 1);
    ::unsetenv("STALVANE_SIM_LOG");
    fuzz::silenceStreams();
    if (SimBoard* sim = dynamic_cast<SimBoard*>(&BoardDevice::get()))
        sim->keepRequests(false);
    Mux::g_tv_time = {1700000000, 0};
    multiplexer.setPollForTest(pollNow);
    return folder;
}

// The daemon's services as main builds and binds them.
struct Daemon {
    Daemon()
    {
        Startup::buildSlotFactories();
        HwMux::instance();
        IniFile::File noFile;
        MonitoringCtl::instance().Configure(noFile);
        Slots::instance().SetSleepForTest(noSleep);

        Startup::bindControlServices(ctrlServer);
        ctrlServer.Activate(transport);
        transport->Bind(&check);
    }
    ~Daemon()
    {
        ctrlServer.Deactivate();
        std::system(("rm -rf '" + root + "'").c_str());
    }

    void turn()
    {
        multiplexer.runTurnForTest();
        check.settle(transport->messages());
    }
    bool connected() const { return transport->GetState() == Control::Service::State::Connected; }

    std::string root = prepareProcess();
    PairTransport* transport = new PairTransport;   // owned by the control server
    AnswerCheck check;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Daemon daemon;
    const unsigned blocks = Packet::blocks_in_use();
    if (!daemon.transport->connect())
        fuzz::broken("no socket pair");
    daemon.turn();

    fuzz::Bytes in(data, size);
    while (in.left() > 0 && daemon.connected()) {
        const unsigned length = in.byte();
        if (length == 0) {
            Mux::timeval second;
            Mux::make_from_msec(second, 1000);
            Mux::timevaladd(Mux::g_tv_time, second);
        } else if (!daemon.transport->write(in.take(length))) {
            break;
        }
        daemon.turn();
    }

    daemon.transport->Disconnect();
    daemon.turn();
    daemon.transport->closePeer();
    if (daemon.connected())
        fuzz::broken("the session did not end");
    if (Slots::instance().GetLive().count() != 0)
        fuzz::broken("slots outlive their controller");
    if (Packet::blocks_in_use() != blocks)
        fuzz::broken("packets in use went from " + std::to_string(blocks) + " to " +
                     std::to_string(Packet::blocks_in_use()));
    return 0;
}
