#pragma once
// The controller around a board service: a control server of its own, linked
// over a socket pair, with the service bound after the link came up (so the
// service hears of no connection until connect()). Commands go in encoded, as
// off the wire; answers and signals are decoded off the wire as "success",
// "error <cause>" and describe() texts. Also the loop clock and stream capture.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "asn1/CoderEnv.h"
#include "asn1/modules/ACP.h"
#include "asn1/modules/LGCP.h"
#include "control/CtrlSrvServer.h"
#include "control/CtrlSrvService.h"
#include "protocol/ControlService.h"
#include "runtime/Multiplexer.h"
#include "runtime/Mux.h"
#include "tests/hardware/ToneDspSupport.h"

namespace probe {

using Strings = std::vector<std::string>;

// "trunk 1 rai slips 3 bf 4 carrier 5 ais 6 rai 7 e1", "cas 2/5 rx 9 tx 3".
inline std::string describe(const LGCP::Signal& signal)
{
    static const char* const states[] = {"normal", "lossBF", "lossCarrier", "ais", "rai", "unknown", "disabled"};
    std::ostringstream os;
    if (signal.currentSelection() == LGCP::Signal::trunkStatus_chosen) {
        const ACP::TrunkStatus& t = signal.get_trunkStatus();
        os << "trunk " << t.get_trunk().getValue() << ' ' << states[t.get_state().getValue()] << " slips "
           << t.get_slips().getValue() << " bf " << t.get_lossBF().getValue() << " carrier "
           << t.get_lossCarrier().getValue() << " ais " << t.get_lossAIS().getValue() << " rai "
           << t.get_lossRAI().getValue() << (t.get_type().getValue() == ACP::TrunkType::e1 ? " e1" : " bri")
           << (t.get_name().empty() && !t.get_clockMaster().getValue() ? "" : " named or master");
    } else if (signal.currentSelection() == LGCP::Signal::cas_chosen) {
        const LGCP::CasSignalling& c = signal.get_cas();
        os << "cas " << c.get_channel().get_path().getValue() << '/' << c.get_channel().get_timeslot().getValue()
           << " rx " << c.get_rx().getValue() << " tx " << c.get_tx().getValue();
    }
    return os.str();
}

class PairTransport : public Control::Service {
public:
    PairTransport() { verbose = false; }
    ~PairTransport() override { ::close(peer_); }

    void connect()
    {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        ::close(peer_);
        peer_ = ends[1];
        ::fcntl(peer_, F_SETFL, O_NONBLOCK);
        Connected(Fd(ends[0]), "probe");
    }
    // The payloads of the whole TPKT frames received so far.
    Strings frames()
    {
        char buffer[4096];
        for (ssize_t n; (n = ::recv(peer_, buffer, sizeof buffer, 0)) > 0;)
            received_.append(buffer, static_cast<std::size_t>(n));
        Strings out;
        while (received_.size() >= 4) {
            std::size_t n = static_cast<std::size_t>((received_[2] & 0xFF) << 8 | (received_[3] & 0xFF));
            if (n < 4 || received_.size() < n)
                break;
            out.push_back(received_.substr(4, n - 4));
            received_.erase(0, n);
        }
        return out;
    }

protected:
    bool ImplActivate() override { return connect(), true; }
    void ImplDeactivate() override {}
    void ImplOnDisconnect() override {}

private:
    int peer_ = -1;
    std::string received_;
};

class ControlProbe {
public:
    explicit ControlProbe(CtrlSrv::Service& service) : transport_(new PairTransport)
    {
        server_.Activate(transport_);
        server_.Bind(&service);
    }
    ~ControlProbe() { server_.Deactivate(); }

    // A controller connects: on the open link, or on a new one after
    // disconnect(). The server logs "ctrl [probe]: controller connect.".
    void connect()
    {
        if (transport_->GetState() == Control::Service::State::Connected)
            server_.OnConnect();
        else
            transport_->connect();
    }
    // Ended as the transport ends a connection: in a deferred call.
    void disconnect()
    {
        collect();
        transport_->Disconnect();
        multiplexer.execute_dpc();
    }
    void offer(const LGCP::Command& command)
    {
        LGCP::Message message;
        message.get_pdu().set_command(command);
        ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
        std::vector<char> bytes;
        ASSERT_TRUE(ASN1::encode(message, &env, std::back_inserter(bytes)));
        server_.OnMessage(bytes.data(), static_cast<int>(bytes.size()));
    }
    Strings answers() { return collect(), take(answers_); }
    Strings signals() { return collect(), take(signals_); }

private:
    static Strings take(Strings& s)
    {
        Strings out;
        out.swap(s);
        return out;
    }
    void collect()
    {
        for (const std::string& payload : transport_->frames()) {
            LGCP::Message m;
            ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
            ASSERT_TRUE(ASN1::decode(payload.data(), payload.data() + payload.size(), &env, m, true));
            const LGCP::PDU& pdu = m.get_pdu();
            if (pdu.currentSelection() == LGCP::PDU::signal_chosen)
                signals_.push_back(describe(pdu.get_signal()));
            else if (pdu.get_response().currentSelection() == LGCP::Response::success_chosen)
                answers_.push_back("success");
            else
                answers_.push_back("error " + std::to_string(pdu.get_response().get_error().getValue()));
        }
    }

    CtrlSrv::Server server_;
    PairTransport* transport_;   // owned by the server
    Strings answers_;
    Strings signals_;
};

// The loop clock at a fixed start, moved by hand; std::clog and std::cerr captured.
class ServiceTest : public testing::Test {
protected:
    ServiceTest()
    {
        Mux::g_tv_time = {1000000, 0};
        multiplexer.setPollForTest(ToneDspTest::pollNow);
    }
    ~ServiceTest() override
    {
        multiplexer.setPollForTest(nullptr);
        Mux::g_tv_time = {0, 0};
    }

    // Moves the clock by ms and fires what is due.
    void advance(unsigned ms)
    {
        Mux::timeval step;
        Mux::make_from_msec(step, ms);
        Mux::timevaladd(Mux::g_tv_time, step);
        multiplexer.timers_schedule();
    }
    std::string takeClog() { return clog_.take(); }
    std::string takeCerr() { return cerr_.take(); }

private:
    ToneDspTest::Capture clog_{std::clog};
    ToneDspTest::Capture cerr_{std::cerr};
};

} // namespace probe
