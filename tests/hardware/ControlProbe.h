#pragma once
// Stands in for the controller around the board services: offers commands,
// collects the answers and the signals the services send; and the loop clock
// with a poll that never waits.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <iterator>

#include "asn1/CoderEnv.h"
#include "asn1/modules/ACP.h"
#include "asn1/modules/LGCP.h"
#include "core/CtrlSrvServer.h"
#include "core/CtrlSrvService.h"
#include "protocol/ControlService.h"
#include "runtime/Fd.h"
#include "runtime/Multiplexer.h"
#include "runtime/Mux.h"

namespace probe {

// "trunk 1 normal slips 0 bf 0 carrier 0 ais 0 rai 0 e1" or "cas 2/5 rx 9 tx 3".
inline std::string describe(const LGCP::Signal& signal)
{
    std::ostringstream os;
    if (signal.currentSelection() == LGCP::Signal::trunkStatus_chosen) {
        const ACP::TrunkStatus& t = signal.get_trunkStatus();
        static const char* const states[] = {"normal", "lossBF", "lossCarrier", "ais", "rai", "unknown", "disabled"};
        int state = t.get_state().getValue();
        os << "trunk " << t.get_trunk().getValue() << ' ' << (state >= 0 && state < 7 ? states[state] : "?")
           << " slips " << t.get_slips().getValue() << " bf " << t.get_lossBF().getValue() << " carrier "
           << t.get_lossCarrier().getValue() << " ais " << t.get_lossAIS().getValue() << " rai "
           << t.get_lossRAI().getValue() << (t.get_type().getValue() == ACP::TrunkType::e1 ? " e1" : " bri");
        if (!t.get_name().empty() || t.get_clockMaster().getValue())
            os << " name/clockMaster set";
    } else if (signal.currentSelection() == LGCP::Signal::cas_chosen) {
        const LGCP::CasSignalling& c = signal.get_cas();
        os << "cas " << c.get_channel().get_path().getValue() << '/' << c.get_channel().get_timeslot().getValue()
           << " rx " << c.get_rx().getValue() << " tx " << c.get_tx().getValue();
    } else {
        os << "signal " << signal.currentSelection();
    }
    return os.str();
}

// The controller's end of a control connection over a socket pair.
class PairTransport : public Control::Service {
public:
    PairTransport() { verbose = false; }
    ~PairTransport() override
    {
        if (peer_ >= 0)
            ::close(peer_);
    }

    void connect()
    {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        if (peer_ >= 0)
            ::close(peer_);
        peer_ = ends[1];
        ::fcntl(peer_, F_SETFL, O_NONBLOCK);
        Connected(Fd(ends[0]), "probe");
    }
    // The payloads of the whole frames received so far.
    std::vector<std::string> frames()
    {
        char buffer[4096];
        ssize_t n;
        while (peer_ >= 0 && (n = ::recv(peer_, buffer, sizeof buffer, 0)) > 0)
            received_.append(buffer, static_cast<std::size_t>(n));
        std::vector<std::string> out;
        while (received_.size() >= 4) {
            std::size_t length = (static_cast<unsigned char>(received_[2]) << 8) | static_cast<unsigned char>(received_[3]);
            if (length < 4 || received_.size() < length)
                break;
            out.push_back(received_.substr(4, length - 4));
            received_.erase(0, length);
        }
        return out;
    }

protected:
    bool ImplActivate() override
    {
        connect();
        return true;
    }
    void ImplDeactivate() override {}
    void ImplOnDisconnect() override {}

private:
    int peer_ = -1;
    std::string received_;
};

// A control server of its own, linked to a controller, with the service under
// test bound to it after the link came up: the service has not heard of a
// connection until connect(). Commands go in as encoded messages; answers and
// signals come back off the wire as "success", "error <cause>" and the
// describe() texts. The server logs "ctrl [probe]: controller connect." at
// every connect.
class ControlProbe {
public:
    explicit ControlProbe(CtrlSrv::Service& service) : transport_(new PairTransport)
    {
        server_.Activate(transport_);
        server_.Bind(&service);
    }
    ~ControlProbe() { server_.Deactivate(); }

    // A controller connects: on the open link, or on a new one after disconnect().
    void connect()
    {
        if (transport_->GetState() == Control::Service::State::Connected)
            server_.OnConnect();
        else
            transport_->connect();
    }
    // The connection ends as the transport ends it: from a deferred call.
    void disconnect()
    {
        collect();
        transport_->Disconnect();
        multiplexer.execute_dpc();
    }
    // Takes the command the way the server takes one off the wire.
    void offer(const LGCP::Command& command)
    {
        LGCP::Message message;
        message.get_pdu().set_command(command);
        ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
        std::vector<char> bytes;
        ASSERT_TRUE(ASN1::encode(message, &env, std::back_inserter(bytes)));
        server_.OnMessage(bytes.data(), static_cast<int>(bytes.size()));
    }

    std::vector<std::string> answers()
    {
        collect();
        std::vector<std::string> out;
        out.swap(answers_);
        return out;
    }
    std::vector<std::string> signals()
    {
        collect();
        std::vector<std::string> out;
        out.swap(signals_);
        return out;
    }

private:
    void collect()
    {
        for (const std::string& payload : transport_->frames()) {
            LGCP::Message message;
            ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
            if (!ASN1::decode(payload.data(), payload.data() + payload.size(), &env, message, true)) {
                ADD_FAILURE() << "undecodable message from the server";
                continue;
            }
            const LGCP::PDU& pdu = message.get_pdu();
            if (pdu.currentSelection() == LGCP::PDU::signal_chosen) {
                signals_.push_back(describe(pdu.get_signal()));
            } else if (pdu.currentSelection() == LGCP::PDU::response_chosen) {
                const LGCP::Response& r = pdu.get_response();
                answers_.push_back(r.currentSelection() == LGCP::Response::success_chosen
                                       ? std::string("success")
                                       : "error " + std::to_string(r.get_error().getValue()));
            }
        }
    }

    CtrlSrv::Server server_;
    PairTransport* transport_;   // owned by the server
    std::vector<std::string> answers_;
    std::vector<std::string> signals_;
};

inline int pollNoWait(pollfd* fds, nfds_t count, int)
{
    return ::poll(fds, count, 0);
}

// The loop clock at a fixed start, moved by hand; captures std::clog and
// std::cerr.
class ServiceTest : public testing::Test {
protected:
    ServiceTest() : savedClog_(std::clog.rdbuf(clog_.rdbuf())), savedCerr_(std::cerr.rdbuf(cerr_.rdbuf()))
    {
        Mux::g_tv_time = {1000000, 0};
        multiplexer.setPollForTest(pollNoWait);
    }
    ~ServiceTest() override
    {
        std::clog.rdbuf(savedClog_);
        std::cerr.rdbuf(savedCerr_);
        multiplexer.setPollForTest(nullptr);
        Mux::g_tv_time = {0, 0};
    }

    // Moves the clock and fires what is due.
    void advance(unsigned ms)
    {
        std::int64_t usec = static_cast<std::int64_t>(Mux::g_tv_time.sec) * 1000000 + Mux::g_tv_time.usec + ms * 1000;
        Mux::g_tv_time.sec = static_cast<std::int32_t>(usec / 1000000);
        Mux::g_tv_time.usec = static_cast<std::int32_t>(usec % 1000000);
        multiplexer.timers_schedule();
    }
    std::string takeClog() { return take(clog_); }
    std::string takeCerr() { return take(cerr_); }

private:
    static std::string take(std::ostringstream& os)
    {
        std::string text = os.str();
        os.str("");
        return text;
    }

    std::ostringstream clog_;
    std::ostringstream cerr_;
    std::streambuf* savedClog_;
    std::streambuf* savedCerr_;
};

} // namespace probe
