#pragma once
// Shared by the slot tests: a scripted slot type and its factory, the
// simulated board's switch, and a controller talking to Slots over a real
// loopback control connection.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "board/BoardDevice.h"
#include "board/HalRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimHal.h"
#include "control/ControlLink.h"
#include "control/CtrlSrvServer.h"
#include "control/HeartBeatCtl.h"
#include "core/Slot.h"
#include "core/SlotFactory.h"
#include "core/Slots.h"
#include "hardware/HwMux.h"

namespace slottest {

// The process's board is the simulated one, and so is the switch's.
inline SimBoard& board()
{
    ::setenv("STALVANE_BOARD", "sim", 1);
    BoardDevice::setForTest(nullptr);
    SimBoard& sim = dynamic_cast<SimBoard&>(BoardDevice::get());
    HwMux::instance();
    return sim;
}

// The switch connects seen since the board's log was last cleared, as
// "output <- source".
inline std::vector<std::string> switchConnects(SimBoard& sim)
{
    std::vector<std::string> out;
    for (const SimBoard::Request& r : sim.requests(SimBoard::Op::Ioctl, "/dev/hal"))
        if (r.code == Hal::kConnect) {
            Hal::ConnectRecord rec = Hal::ConnectRecord::decode(r.data.data());
            out.push_back(std::to_string(rec.output) + " <- " + std::to_string(rec.source));
        }
    return out;
}

// A slot whose hooks log their calls ("A inputStream") and answer as scripted.
class TestSlot : public Slot {
public:
    TestSlot(std::vector<std::string>& log, int tx, int rx) : log(log), tx(tx), rx(rx) {}
    ~TestSlot() override { note("deleted"); }

    bool note(const std::string& what, bool result = true)
    {
        log.push_back(name + " " + what);
        return result;
    }
    static std::string of(Slot& s) { return static_cast<TestSlot&>(s).name; }

    int GetConnectionPriority() override { return priority; }
    bool IHwConnectTransmitter(Slot& r) override
    {
        return note("hwConnectTransmitter " + of(r), hwResult) && Slot::IHwConnectTransmitter(r);
    }
    bool IHwConnectReceiver(Slot& t) override
    {
        return note("hwConnectReceiver " + of(t), hwResult) && Slot::IHwConnectReceiver(t);
    }
    bool IHwDisconnectTransmitter(Slot& r) override
    {
        return note("hwDisconnectTransmitter " + of(r)) && Slot::IHwDisconnectTransmitter(r);
    }
    bool IHwDisconnectReceiver(Slot& t) override
    {
        return note("hwDisconnectReceiver " + of(t)) && Slot::IHwDisconnectReceiver(t);
    }
    bool IOnOutputStream() override { return note("outputStream", hasOutput); }
    bool IOnInputStream() override { return note("inputStream", hasInput); }
    void IOnOutputRelease() override { note("outputRelease"); }
    void IOnInputRelease() override { note("inputRelease"); }
    int IGetTransmitChannel() override { return tx; }
    int IGetReceiveChannel() override { return rx; }
    void IAfterCreate() override
    {
        if (note("afterCreate", activateOnCreate))
            OnActivated();
    }
    bool IBeforeDestroy() override { return note("beforeDestroy") && (!onBeforeDestroy || onBeforeDestroy(*this)); }
    bool IActivate(const TERM::TermActivateParams&) override { return supported; }
    bool IDeactivate() override { return supported; }
    bool Ioctl(const LGCP::IoctlParams&) override { return supported; }
    bool IUserData(const std::vector<char>& d) override { return note("userData " + std::string(d.begin(), d.end()), supported); }
    const char* GetName() const override { return "test"; }

    std::vector<std::string>& log;
    std::string name = "slot";
    int tx;
    int rx;
    int priority = 0;
    bool hasOutput = true;
    bool hasInput = true;
    bool hwResult = true;
    bool supported = false;
    bool activateOnCreate = false;
    std::function<bool(TestSlot&)> onBeforeDestroy;
};

// Makes a TestSlot for `ext` {transmitter, receiver}; null for anything else.
// The chain is restored by the owner of the factory before it goes away.
class TestFactory : public SlotFactory {
public:
    explicit TestFactory(std::vector<std::string>& log, const char* name = "Test") : log(log), name(name) {}

    const char* GetName() const override { return name; }
    Slot* INewSlot(const LGCP::CreateParams& params) override
    {
        log.push_back(std::string(name) + " asked");
        if (params.currentSelection() != LGCP::CreateParams::ext_chosen || !serve)
            return nullptr;
        TestSlot* slot = new TestSlot(log, params.get_ext().get_transmitter().getValue(),
                                      params.get_ext().get_receiver().getValue());
        if (made)
            made(*slot);
        return slot;
    }
    void Query(LGCP::Resources& r) override { r.set_modem(r.get_modem().getValue() + 2); }
    void SelfSignal(const LGCP::Signal& s) override
    {
        log.push_back(std::string(name) + " selfSignal " + std::to_string(s.currentSelection()));
    }

    std::vector<std::string>& log;
    const char* name;
    bool serve = true;
    std::function<void(TestSlot&)> made;
};

// The hook calls logged by TestSlots and TestFactories; take() empties it.
struct HookLog {
    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(log);
        return out;
    }
    std::vector<std::string> log;
};

// Keeps the process's factory chain as it was around a test.
struct ChainGuard {
    ChainGuard() : saved(firstFactory) { firstFactory = nullptr; }
    ~ChainGuard() { firstFactory = saved; }
    SlotFactory* saved;
};

inline unsigned g_sleeps = 0;
inline unsigned countSleep(unsigned seconds)
{
    g_sleeps += seconds;
    return 0;
}

// "activated", "receiver active 33", "transmitter inactive", ...
inline std::string signalText(const LGCP::Signal& s)
{
    const bool rx = s.currentSelection() == LGCP::Signal::receiver_chosen;
    if (!rx && s.currentSelection() != LGCP::Signal::transmitter_chosen)
        return s.getSelectionName();
    const LGCP::Stream& st = rx ? s.get_receiver() : s.get_transmitter();
    return std::string(s.getSelectionName())
        + (st.currentSelection() == LGCP::Stream::active_chosen ? " active " + std::to_string(st.get_active().getValue())
                                                                 : std::string(" inactive"));
}

// "slot=5 success", "slot=5 error 3", "slot=5 receiver active 33"; a seq
// other than `current` is shown ("seq=3 slot=5 success").
inline std::string describe(const std::string& payload, int current = -1)
{
    LGCP::Message m;
    ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
    if (!ASN1::decode(payload.data(), payload.data() + payload.size(), &env, m, true))
        return "undecodable";
    std::string out;
    if (m.has_seq() && m.get_seq().getValue() != current)
        out += "seq=" + std::to_string(m.get_seq().getValue()) + " ";
    if (m.has_slot())
        out += "slot=" + std::to_string(m.get_slot().getValue()) + " ";
    const LGCP::PDU& pdu = m.get_pdu();
    if (pdu.currentSelection() == LGCP::PDU::signal_chosen)
        return out + signalText(pdu.get_signal());
    const LGCP::Response& r = pdu.get_response();
    if (r.currentSelection() == LGCP::Response::success_chosen)
        return out + "success";
    return out + "error " + std::to_string(r.get_error().getValue());
}

// A control service that records the signals other services send.
struct SignalProbe : CtrlSrv::Service {
    void OnConnect() override {}
    void OnDisconnect() override {}
    bool OnCommand(const LGCP::Command&) override { return false; }
    void OnSignal(const LGCP::Signal& s) override { signals.push_back(s); }
    std::vector<LGCP::Signal> signals;
};

// Slots and a signal probe bound to a server without transport: the signals
// slots send reach the probe, and the server complains on the error stream.
class SignalCapture : public ::testing::Test {
protected:
    SignalCapture()
    {
        server.Bind(&Slots::instance());
        server.Bind(&probe);
    }

    // The error stream less the server's complaints about its missing transport.
    std::string errors()
    {
        std::string out;
        std::istringstream lines(err.str());
        for (std::string line; std::getline(lines, line);)
            if (line != "ctrl [null]: send fail: Service not attached!")
                out += line + "\n";
        err.clear();
        return out;
    }
    // Takes the signals seen so far.
    std::vector<LGCP::Signal> signals()
    {
        std::vector<LGCP::Signal> out;
        out.swap(probe.signals);
        return out;
    }

    looptest::Capture err{std::cerr};
    looptest::Capture clog_{std::clog};
    CtrlSrv::Server server;
    SignalProbe probe;
};

// A controller connected to a server with the heartbeat, Slots and a signal
// probe bound, on the simulated board.
class SlotsLink : public ::testing::Test {
protected:
    SlotsLink() : sim(board())
    {
        Mux::g_tv_time = {1700000000, 0};
        g_sleeps = 0;
        Slots::instance().SetSleepForTest(&countSleep);
        server.Bind(&heartbeat);
        server.Bind(&Slots::instance());
        server.Bind(&probe);
        acceptor = new Control::AcceptorNetCheckConnection(0, false);
        EXPECT_TRUE(server.Activate(acceptor));
        client.reset(new ctrltest::Client(acceptor->GetBoundPort()));
        EXPECT_TRUE(looptest::runUntil([this] { return connected(); }));
        sim.clearRequests();
    }
    ~SlotsLink() override
    {
        server.Deactivate();
        Slots::instance().SetSleepForTest(&countSleep);
        Mux::g_tv_time = {0, 0};
    }

    bool connected() const { return acceptor->GetState() == Control::Service::State::Connected; }

    static LGCP::Message request(int slot)
    {
        LGCP::Message m;
        if (slot >= 0)
            m.include_slot() = static_cast<unsigned>(slot);
        return m;
    }
    static LGCP::Message create(int slot, int tx, int rx)
    {
        LGCP::Message m = request(slot);
        LGCP::ExtParams& ext = m.get_pdu().set_command().set_create().set_ext();
        ext.set_transmitter(tx);
        ext.set_receiver(rx);
        return m;
    }
    static LGCP::Message connect(int slot, unsigned target)
    {
        LGCP::Message m = request(slot);
        m.get_pdu().set_command().set_connect(target);
        return m;
    }
    static LGCP::Message simple(int slot, LGCP::Command::Choices which)
    {
        LGCP::Message m = request(slot);
        LGCP::Command& c = m.get_pdu().set_command();
        c.choiceID = which;
        c.createSelection();
        return m;
    }

    // Sends the message with the next seq; returns every frame up to and
    // including the answer to a ping sent right after it, so that whatever
    // the command caused is all there.
    std::vector<std::string> send(LGCP::Message m)
    {
        m.include_seq().setValue(++seq);
        return sendRaw(ctrltest::encode(m));
    }
    std::vector<std::string> sendRaw(const std::string& payload)
    {
        client->send(ctrltest::frame(payload));
        return sync();
    }
    // Frames received until the answer of a ping (which is left out).
    std::vector<std::string> sync()
    {
        raw.clear();
        LGCP::Message ping;
        const int pingSeq = ++pings;
        ping.include_seq().setValue(pingSeq);
        ping.get_pdu().set_command().set_ping();
        client->send(ctrltest::frame(ctrltest::encode(ping)));
        const std::string pong = "seq=" + std::to_string(pingSeq) + " success";
        std::vector<std::string> got;
        bool found = false;
        looptest::runUntil([&] {
            client->pump();
            for (std::string& f : client->frames()) {
                std::string d = describe(f, seq);
                if (d == pong)
                    found = true;
                else if (!found) {
                    got.push_back(d);
                    raw.push_back(f);
                }
            }
            return found;
        });
        EXPECT_TRUE(found);
        return got;
    }

    SimBoard& sim;
    looptest::Capture out{std::cout};
    looptest::Capture err{std::cerr};
    looptest::Capture clog_{std::clog};
    CtrlSrv::Server server;
    HeartBeatCtl heartbeat;
    SignalProbe probe;
    Control::AcceptorNetCheckConnection* acceptor;   // owned by the server
    std::unique_ptr<ctrltest::Client> client;
    int seq = 0;
    int pings = 100000;
    std::vector<std::string> raw;   // the frames of the last sync
};

} // namespace slottest
