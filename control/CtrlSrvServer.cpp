#include "control/CtrlSrvServer.h"

#include <iostream>
#include <iterator>

#include "asn1/CoderEnv.h"
#include "control/CtrlSrvService.h"
#include "runtime/ExtStream.h"

CtrlSrv::Server ctrlServer;

namespace CtrlSrv {

namespace {

enum ResponseState { nothing_sent = 0, success_sent = 1, error_sent = 2 };

} // namespace

const char* const Server::support_contact = "support@stalvane.example";

Server::Server()
{
    encoded.reserve(200);
    success.get_pdu().set_response().set_success();
}

Server::~Server()
{
    Deactivate();
    services.clear();
}

void Server::Bind(Service* service)
{
    services.push_back(service);
    service->server = this;
}

bool Server::Activate(Control::Service* newTransport)
{
    Deactivate();
    transport = newTransport;
    transport->service_name("server");
    transport->Bind(this);
    return transport->Activate();
}

void Server::Deactivate()
{
    if (transport == nullptr)
        return;
    transport->Deactivate();
    OnDisconnect();
    transport->UnBind();
    delete transport;
    transport = nullptr;
}

void Server::OnConnect()
{
    std::clog << ext::header(this) << "controller connect." << std::endl;
    // By index: a callback may bind another service.
    for (std::size_t i = 0; i < services.size(); ++i)
        services[i]->OnConnect();
}

void Server::OnDisconnect()
{
    for (std::size_t i = 0; i < services.size(); ++i)
        services[i]->OnDisconnect();
}

void Server::OnMessage(const char* data, int length)
{
    // A payload handed in while another is handled gets a message of its own.
    if (receiving) {
        LGCP::Message message;
        Receive(message, data, length);
        return;
    }
    receiving = true;
    Receive(received, data, length);
    receiving = false;
}

void Server::Receive(LGCP::Message& message, const char* data, int length)
{
    ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
    if (ASN1::decode(data, data + length, &env, message, true)) {
        Handle(message);
    } else {
        std::cerr << ext::header(this) << "receive fail: decode error!" << std::endl
                  << " msg: " << ext::OutBufInHex(data, static_cast<std::size_t>(length)) << std::endl;
    }
    slot = no_slot;
}

void Server::Handle(const LGCP::Message& message)
{
    response_state = nothing_sent;
    seq_present = message.has_seq();
    if (seq_present)
        seq = message.get_seq().getValue();

    const LGCP::PDU& pdu = message.get_pdu();
    if (pdu.currentSelection() != LGCP::PDU::command_chosen) {
        Error(LGCP::ErrorCause::unexpectedMsgType);
        return;
    }
    slot = no_slot;
    if (message.has_slot()) {
        // The decoder does not bound a constrained number by its upper limit.
        const unsigned requested = message.get_slot().getValue();
        if (requested > max_slot) {
            Error(LGCP::ErrorCause::invalidSlot);
            return;
        }
        slot = requested;
    }

    const LGCP::Command& command = pdu.get_command();
    bool taken = false;
    for (std::size_t i = 0; i < services.size() && !taken; ++i)
        taken = services[i]->OnCommand(command);

    if (!taken) {
        Error(LGCP::ErrorCause::unexpectedMsgType);
    } else if (response_state == nothing_sent) {
        std::cerr << ext::header(this) << "software error: server do NOT send ack!!!" << std::endl
                  << "please contact with techsupport (" << support_contact << ")" << std::endl;
        Error(LGCP::ErrorCause::internal);
    }
}

void Server::AddRequestFields(LGCP::Message& message) const
{
    if (seq_present)
        message.include_seq().setValue(seq);
    if (slot != no_slot)
        message.include_slot() = slot;
}

void Server::Success()
{
    if (response_state != nothing_sent)
        return;
    // The kept answer gets this request's fields; an absent one is removed.
    success.remove_seq();
    success.remove_slot();
    AddRequestFields(success);
    Send(success);
    response_state = success_sent;
}

void Server::Error(LGCP::ErrorCause::NamedNumber cause)
{
    if (response_state == error_sent)
        return;
    LGCP::Message message;
    AddRequestFields(message);
    message.get_pdu().set_response().set_error(cause);
    Send(message);
    response_state = error_sent;
}

unsigned Server::delayResponse()
{
    response_state = success_sent;
    return static_cast<unsigned>(seq);
}

void Server::delayedSuccess(unsigned answerSlot, unsigned answerSeq)
{
    LGCP::Message message;
    message.include_seq().setValue(static_cast<std::int32_t>(answerSeq));
    message.include_slot() = answerSlot;
    message.get_pdu().set_response().set_success();
    Send(message);
}

void Server::SendSignal(const LGCP::Signal& signal)
{
    LGCP::Message message;
    if (slot != no_slot)
        message.include_slot() = slot;
    message.get_pdu().set_signal(signal);
    Send(message);
}

void Server::SendSignal(unsigned signalSlot, const LGCP::Signal& signal)
{
    LGCP::Message message;
    message.include_slot() = signalSlot;
    message.get_pdu().set_signal(signal);
    Send(message);
}

void Server::OfferSignal(const Service* from, const LGCP::Signal& signal)
{
    for (std::size_t i = 0; i < services.size(); ++i) {
        if (services[i] != from)
            services[i]->OnSignal(signal);
    }
}

void Server::Send(const LGCP::Message& message)
{
    ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
    encoded.clear();
    if (!ASN1::encode(message, &env, std::back_inserter(encoded))) {
        std::cerr << ext::header(this) << "send fail: encode error!" << message << std::endl;
        return;
    }
    if (transport == nullptr) {
        std::cerr << ext::header(this) << "send fail: Service not attached!" << std::endl;
        return;
    }
    // One TPKT frame holds no more; the transport would refuse it anyway.
    if (encoded.size() > Control::Service::max_message) {
        std::cerr << ext::header(this) << "send fail: message of " << encoded.size() << " octets, max "
                  << Control::Service::max_message << '!' << std::endl;
        return;
    }
    transport->Send(encoded.data(), static_cast<int>(encoded.size()));
}

bool Server::CheckServerConnection(bool& connected) const
{
    if (transport == nullptr)
        return false;
    connected = transport->GetState() == Control::Service::State::Connected;
    return true;
}

void Server::OnHeartbeatTimeout()
{
    if (transport != nullptr)
        transport->Disconnect();
}

void Server::PutHeader(std::ostream& os) const
{
    if (transport == nullptr)
        os << "ctrl [null]: ";
    else if (transport->GetState() == Control::Service::State::Connected)
        os << "ctrl [" << transport->GetConnectionName() << "]: ";
    else
        os << "ctrl [not connected]: ";
}

} // namespace CtrlSrv
