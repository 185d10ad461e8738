#include "ControlLink.h"

using ctrltest::bytes;
using ctrltest::ControlLink;
using V = std::vector<std::string>;

namespace {

// Worked out by hand from the aligned-PER rules:
//   ping, seq 7:   presence 1 0 | align, length 01, 07 | PDU 0 in 2 bits,
//                  Command extension bit 0, 12 in 4 bits, pad    -> 80 01 07 18
//   success, seq 7: presence 1 0 | 01 07 | PDU 1 (0 1), Response 0 (0) -> 80 01 07 40
const std::string pingSeq7 = bytes({0x80, 0x01, 0x07, 0x18});
const std::string successSeq7 = bytes({0x80, 0x01, 0x07, 0x40});

// An answer `error` with seq s: PDU 0 1, Response 1, ErrorCause extension
// bit 0 and the cause in 4 bits (maximum 12).
std::string errorSeq(int s, int cause)
{
    return bytes({0x80, 0x01, s, 0x60 | cause});
}

} // namespace

TEST_F(ControlLink, PingWithSeqIsAnsweredSuccessWithThatSeqAndNoSlot)
{
    EXPECT_EQ(log.str(), "ctrl [" + client->name() + "]: controller connect.\n");
    EXPECT_EQ(events, V{"probe connect"});

    LGCP::Message ping;
    ping.include_seq().setValue(7);
    ping.get_pdu().set_command().set_ping();
    EXPECT_EQ(ctrltest::encode(ping), pingSeq7);

    EXPECT_EQ(exchange(pingSeq7), V{successSeq7});
    // The heartbeat took it: the probe never saw it.
    EXPECT_EQ(events, V{"probe connect"});
    // The next answer carries that request's fields only: slot 5, no seq.
    EXPECT_EQ(exchange(bytes({0x40, 0x00, 0x05, 0x18})), V{bytes({0x40, 0x00, 0x05, 0x40})});
    EXPECT_EQ(exchange(pingSeq7), V{successSeq7});
    EXPECT_EQ(err.str(), "");
}

TEST_F(ControlLink, UndecodablePayloadIsLoggedAndNotAnswered)
{
    // PDU alternative 3 does not exist.
    client->send(ctrltest::frame(bytes({0x30, 0xAB})));
    EXPECT_EQ(exchange(bytes({0x80, 0x01, 0x08, 0x18})), V{bytes({0x80, 0x01, 0x08, 0x40})});
    EXPECT_EQ(err.str(), "ctrl [" + client->name() + "]: receive fail: decode error!\n msg: 30 AB \n");
    EXPECT_TRUE(connected());
}

TEST_F(ControlLink, ServerOwnErrorAnswers)
{
    events.clear();
    // ping with slot 1024 (the decoder does not bound it): invalidSlot, no
    // slot in the answer, and no service sees it.
    EXPECT_EQ(exchange(bytes({0xC0, 0x01, 0x09, 0x04, 0x00, 0x18})), V{errorSeq(9, 2)});
    // A signal from the controller (activated, seq 3).
    EXPECT_EQ(exchange(bytes({0x80, 0x01, 0x03, 0x85})), V{errorSeq(3, 4)});
    EXPECT_FALSE(heartbeat.IsArmed());
    EXPECT_EQ(events, V{});
    // `query` without seq (9 bits), taken by nobody: no seq in the answer.
    EXPECT_EQ(exchange(bytes({0x00, 0x00})), V{bytes({0x19, 0x00})});
    EXPECT_EQ(events, V{"probe command 0"});
    // Slot 1023 is dispatched.
    EXPECT_EQ(exchange(bytes({0xC0, 0x01, 0x0A, 0x03, 0xFF, 0x18})), V{bytes({0xC0, 0x01, 0x0A, 0x03, 0xFF, 0x40})});
    EXPECT_TRUE(heartbeat.IsArmed());
    EXPECT_EQ(err.str(), "");
}

TEST_F(ControlLink, TakenButUnansweredCommandGetsInternal)
{
    probe.onCommand = [](const LGCP::Command&) { return true; };
    // deactivate, seq 4
    EXPECT_EQ(exchange(bytes({0x80, 0x01, 0x04, 0x0E})), V{errorSeq(4, 5)});
    EXPECT_EQ(err.str(), "ctrl [" + client->name() + "]: software error: server do NOT send ack!!!\n"
                         "please contact with techsupport (support@stalvane.example)\n");
}

TEST_F(ControlLink, OneSuccessAndAtMostOneErrorPerRequest)
{
    probe.onCommand = [this](const LGCP::Command&) {
        probe.Success();
        probe.Error(LGCP::ErrorCause::busError);
        probe.Error(LGCP::ErrorCause::internal);
        probe.Success();
        return true;
    };
    // disconnect, seq 5
    EXPECT_EQ(exchange(bytes({0x80, 0x01, 0x05, 0x06}), 2), (V{bytes({0x80, 0x01, 0x05, 0x40}), errorSeq(5, 10)}));
    EXPECT_EQ(exchange(bytes({0x80, 0x01, 0x06, 0x18})), V{bytes({0x80, 0x01, 0x06, 0x40})});
}

TEST_F(ControlLink, DelayedAnswerCarriesTheStoredSeqAndSlot)
{
    unsigned stored = 0, storedSlot = 0;
    probe.onCommand = [&](const LGCP::Command&) {
        storedSlot = probe.GetSlot();
        stored = probe.delayResponse();
        return true;
    };
    // destroy, seq 11, slot 5: no answer now; the ping after it is answered.
    client->send(ctrltest::frame(bytes({0xC0, 0x01, 0x0B, 0x00, 0x05, 0x0A})));
    EXPECT_EQ(exchange(bytes({0x80, 0x01, 0x0C, 0x18})), V{bytes({0x80, 0x01, 0x0C, 0x40})});
    EXPECT_EQ(stored, 11u);
    EXPECT_EQ(storedSlot, 5u);
    probe.delayedSuccess(storedSlot, stored);
    EXPECT_EQ(answers(1), V{bytes({0xC0, 0x01, 0x0B, 0x00, 0x05, 0x40})});
    // A request without seq delays with the last seq received.
    client->send(ctrltest::frame(bytes({0x40, 0x00, 0x05, 0x0A})));
    EXPECT_EQ(exchange(bytes({0x40, 0x00, 0x05, 0x18})), V{bytes({0x40, 0x00, 0x05, 0x40})});
    EXPECT_EQ(stored, 12u);
    EXPECT_EQ(err.str(), "");
}

TEST_F(ControlLink, SignalCarriesTheSlotOfTheCommandBeingHandled)
{
    LGCP::Signal activated;
    activated.set_activated();
    probe.onCommand = [&](const LGCP::Command&) {
        EXPECT_TRUE(probe.IsSlotPresent());
        probe.SendSignal(activated);
        probe.Success();
        return true;
    };
    // userData "" with seq 2 and slot 5: PDU 0 0, extension 0, 8 in 4 bits,
    // then the empty octet string's length octet.
    EXPECT_EQ(exchange(bytes({0xC0, 0x01, 0x02, 0x00, 0x05, 0x10, 0x00}), 2),
              (V{bytes({0x40, 0x00, 0x05, 0x85}), bytes({0xC0, 0x01, 0x02, 0x00, 0x05, 0x40})}));
    // Between requests: no slot unless given.
    EXPECT_FALSE(probe.IsSlotPresent());
    EXPECT_EQ(probe.GetSlot(), 0xFFFFFFFFu);
    probe.SendSignal(activated);
    probe.SendSignal(3, activated);
    EXPECT_EQ(answers(2), (V{bytes({0x21, 0x40}), bytes({0x40, 0x00, 0x03, 0x85})}));
}

TEST_F(ControlLink, UnsendableMessagesAreLoggedAndDropped)
{
    const std::string head = "ctrl [" + client->name() + "]: ";
    LGCP::Signal unselected;
    probe.SendSignal(unselected);
    EXPECT_EQ(err.str(), head + "send fail: encode error!{\n  pdu signal : \n");
    EXPECT_TRUE(std::cerr.good());
    err.clear();

    // Five packages of 16000 octets do not fit one frame.
    LGCP::Signal big;
    ASN1::SEQUENCE_OF<LGCP::HdlcPackage>& packages = big.set_ioctl().set_hdlcPackages();
    LGCP::HdlcPackage package;
    package.set_body(std::string(16000, 'x'));
    for (int i = 0; i < 5; ++i)
        packages.push_back(package);
    probe.SendSignal(7, big);
    EXPECT_EQ(err.str(), head + "send fail: message of 80016 octets, max 65531!\n");
    EXPECT_EQ(exchange(pingSeq7), V{successSeq7});
}

TEST_F(ControlLink, DeactivateTellsEveryServiceOnceAndClosesTheConnection)
{
    events.clear();
    server.Deactivate();
    EXPECT_EQ(events, V{"probe disconnect"});
    EXPECT_EQ(server.GetTransport(), nullptr);
    EXPECT_TRUE(looptest::runUntil([this] { return client->pump(); }));
    server.Deactivate();
    EXPECT_EQ(events, V{"probe disconnect"});
    bool connected = true;
    EXPECT_FALSE(probe.CheckServerConnection(connected));
}

TEST_F(ControlLink, HeaderAndConnectionCheckFollowTheTransport)
{
    std::ostringstream head;
    server.PutHeader(head);
    EXPECT_EQ(head.str(), "ctrl [" + client->name() + "]: ");
    bool connected = false;
    EXPECT_TRUE(probe.CheckServerConnection(connected));
    EXPECT_TRUE(connected);

    client.reset();
    ASSERT_TRUE(looptest::runUntil([this] { return events.back() == "probe disconnect"; }));
    head.str("");
    server.PutHeader(head);
    EXPECT_EQ(head.str(), "ctrl [not connected]: ");
    EXPECT_TRUE(probe.CheckServerConnection(connected));
    EXPECT_FALSE(connected);
}

TEST(CtrlSrvServer, SignalGoesToEveryOtherServiceInBindOrderBeforeSending)
{
    looptest::Capture err(std::cerr);
    std::vector<std::string> events;
    ctrltest::Probe a("a", events), b("b", events), c("c", events);
    CtrlSrv::Server server;
    server.Bind(&a);
    server.Bind(&b);
    server.Bind(&c);
    LGCP::Signal signal;
    signal.set_power() = LGCP::POWERStatus::main;
    b.SendSignal(signal);
    c.SendSignal(1, signal);
    EXPECT_EQ(events, (V{"a signal 17", "c signal 17", "a signal 17", "b signal 17"}));
    EXPECT_EQ(err.str(), "ctrl [null]: send fail: Service not attached!\n"
                         "ctrl [null]: send fail: Service not attached!\n");
}

TEST(CtrlSrvServer, UnboundServiceDoesNothing)
{
    looptest::Capture err(std::cerr);
    std::vector<std::string> events;
    ctrltest::Probe lone("lone", events);
    LGCP::Signal signal;
    signal.set_activated();
    lone.Success();
    lone.SendSignal(signal);
    EXPECT_EQ(lone.GetSlot(), 0xFFFFFFFFu);
    EXPECT_FALSE(lone.IsSlotPresent());
    EXPECT_EQ(lone.delayResponse(), 0xFFFFFFFFu);
    const std::string line = "CtrlSrv::Service error! service not connected to server.\n";
    EXPECT_EQ(err.str(), line + line + line + line + line);
    bool connected = true;
    EXPECT_FALSE(lone.CheckServerConnection(connected));
    EXPECT_EQ(err.str(), line + line + line + line + line);

    std::ostringstream head;
    ctrlServer.PutHeader(head);
    EXPECT_EQ(head.str(), "ctrl [null]: ");
    EXPECT_FALSE(ctrlServer.IsSlotPresent());
}
