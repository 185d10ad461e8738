#pragma once
// The control server: the one place where controller messages enter and
// leave the daemon. Each TPKT payload of the control transport is decoded as
// an LGCP::Message (aligned PER); its command is offered to the bound
// services in bind order, and their answers and signals are encoded and
// written back through the same transport.
//
// Answer rules per request: one success (or a delay), and at most one error,
// which may still follow a success or a delay. A service that takes a command
// and leaves it unanswered gets `internal` sent on its behalf.
//
// Ownership: the services are not owned; the transport handed to Activate is
// owned and deleted by Deactivate.
#include <cstdint>
#include <ostream>
#include <vector>

#include "asn1/modules/LGCP.h"
#include "protocol/ControlService.h"

namespace CtrlSrv {

class Service;

class Server : public Control::Notify
{
public:
    // Slot numbers of messages: 0..max_slot; no_slot: none given.
    static constexpr unsigned no_slot = 0xFFFFFFFFu;
    static constexpr unsigned max_slot = 1023;
    // Named in the log when a service leaves a command unanswered.
    static const char* const support_contact;

    Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    // Deactivates and forgets the services. The global server is destroyed
    // at exit in no fixed order with the loop: main deactivates it first.
    ~Server() override;

    // Appends the service; bind order is dispatch order.
    void Bind(Service* service);
    // Deactivate(), then takes the transport (owned), labels it "server",
    // becomes its user and activates it.
    bool Activate(Control::Service* transport);
    // Deactivates and deletes the transport; every service hears
    // OnDisconnect(). Nothing without a transport.
    void Deactivate();

    void OnConnect() override;
    void OnDisconnect() override;
    void OnMessage(const char* data, int length) override;

    void Success();
    void Error(LGCP::ErrorCause::NamedNumber cause);
    // Marks the request answered later; returns the last seq received.
    unsigned delayResponse();
    // Success for an earlier request, whatever the current one.
    void delayedSuccess(unsigned slot, unsigned seq);
    // Carries the current request's slot, if any.
    void SendSignal(const LGCP::Signal& signal);
    void SendSignal(unsigned slot, const LGCP::Signal& signal);

    bool IsSlotPresent() const { return slot != no_slot; }
    unsigned GetSlot() const { return slot; }
    // False without a transport; else connected = transport Connected.
    bool CheckServerConnection(bool& connected) const;
    // Asks the transport to drop the connection.
    void OnHeartbeatTimeout();

    // OnSignal of every bound service but `from`, in bind order.
    void OfferSignal(const Service* from, const LGCP::Signal& signal);

    // "ctrl [null]: ", "ctrl [<peer>]: " or "ctrl [not connected]: ".
    void PutHeader(std::ostream& os) const;

    Control::Service* GetTransport() const { return transport; }

private:
    void Receive(LGCP::Message& message, const char* data, int length);
    void Handle(const LGCP::Message& message);
    // Fills seq and slot of an answer by the request's rules.
    void AddRequestFields(LGCP::Message& message) const;
    void Send(const LGCP::Message& message);

    std::vector<Service*> services;
    Control::Service* transport = nullptr;
    bool seq_present = false;
    std::int32_t seq = 0;
    unsigned slot = no_slot;
    // 0 nothing sent yet, 1 success sent or delayed, 2 error sent.
    int response_state = 0;
    // Encoding buffer, kept to avoid an allocation per message.
    std::vector<char> encoded;
    // Every payload decodes into this one message: its value objects are
    // used again instead of being built and destroyed per message.
    LGCP::Message received;
    bool receiving = false;
    // The success answer, kept in the same way.
    LGCP::Message success;
};

} // namespace CtrlSrv

extern CtrlSrv::Server ctrlServer;
