#pragma once
// A small hand-written module in the exact form generated modules take (see
// asn1/ASN1.h): the top of the control message set, plus types that exercise
// extensions, sparse enumerations and lists.
//
//   Message ::= SEQUENCE { seq INTEGER OPTIONAL, slot INTEGER (0..1023) OPTIONAL, pdu PDU }
//   PDU ::= CHOICE { command Command, response Response, signal Signal }
//   Command ::= CHOICE { query NULL, testBpc NULL, connect INTEGER (0..1023), ... 15 root
//                        alternatives (userData OCTET STRING at 8), ... }
//   Response ::= CHOICE { success NULL, error ErrorCause }
//   ErrorCause ::= ENUMERATED { invalidParams, ..., destroyInProgress, ... }   -- 0..12
//   DeactivateCause ::= ENUMERATED { networkError, otherError, ... }
//   Signal ::= CHOICE { query NULL, tonec TonecEvent, number IA5String, ..., 23 root
//                       alternatives (deactivated DeactivateCause at 6), ... }
//   TonecEvent ::= SEQUENCE { timestamp INTEGER, event TonecCode }
//   TonecCode ::= CHOICE { dtmf INTEGER (0..127), r1 NULL, ced NULL, cng NULL, iva NULL,
//                          tone-presence NULL, ..., dtmfDone NULL }
//   Payload ::= ENUMERATED { ptPCMU, ptGSM=3, ptG723, ptG728=13, ptR2S=123, min=1 }
//   Extended ::= SEQUENCE { a INTEGER (0..7), b BOOLEAN OPTIONAL, ...,
//                           c IA5String, d Payload }
//   Digits ::= SEQUENCE { list SEQUENCE OF TonecEvent, state-channel BOOLEAN OPTIONAL }
#include <cstdint>
#include <string>

#include "asn1/ASN1.h"

namespace Demo {

typedef ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 1023u> SlotNumber;
typedef ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 127u> DtmfCode;
typedef ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 7u> Small;

class ErrorCause : public ASN1::ENUMERATED {
public:
    enum NamedNumber : std::int32_t {
        invalidParams, insufficientResources, invalidSlot, slotNotExists, unexpectedMsgType,
        internal, unsupported, reconnectionFail, disconnectFail, connectFail, busError,
        slotIdBusy, destroyInProgress
    };
    static const InfoType theInfo;
    explicit ErrorCause(const InfoType* info = &theInfo) : ASN1::ENUMERATED(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new ErrorCause(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new ErrorCause(*this); }

    NamedNumber getValue() const { return static_cast<NamedNumber>(ENUMERATED::getValue()); }
    void setValue(NamedNumber v) { ENUMERATED::setValue(v); }
    ErrorCause& operator=(NamedNumber v) { setValue(v); return *this; }
};

class DeactivateCause : public ASN1::ENUMERATED {
public:
    enum NamedNumber : std::int32_t { networkError, otherError };
    static const InfoType theInfo;
    explicit DeactivateCause(const InfoType* info = &theInfo) : ASN1::ENUMERATED(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new DeactivateCause(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new DeactivateCause(*this); }

    NamedNumber getValue() const { return static_cast<NamedNumber>(ENUMERATED::getValue()); }
    void setValue(NamedNumber v) { ENUMERATED::setValue(v); }
    DeactivateCause& operator=(NamedNumber v) { setValue(v); return *this; }
};

class Payload : public ASN1::ENUMERATED {
public:
    enum NamedNumber : std::int32_t { ptPCMU = 0, ptGSM = 3, ptG723 = 4, ptG728 = 13, ptR2S = 123, min = 1 };
    static const InfoType theInfo;
    explicit Payload(const InfoType* info = &theInfo) : ASN1::ENUMERATED(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new Payload(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new Payload(*this); }

    NamedNumber getValue() const { return static_cast<NamedNumber>(ENUMERATED::getValue()); }
    void setValue(NamedNumber v) { ENUMERATED::setValue(v); }
    Payload& operator=(NamedNumber v) { setValue(v); return *this; }
};

class TonecCode : public ASN1::CHOICE {
public:
    enum Choices { dtmf_chosen = 0, ced_chosen = 2, dtmfDone_chosen = 6 };
    static const InfoType theInfo;
    explicit TonecCode(const InfoType* info = &theInfo) : ASN1::CHOICE(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new TonecCode(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new TonecCode(*this); }

    DtmfCode& get_dtmf() { return selectionAs<DtmfCode>(dtmf_chosen); }
    void set_dtmf(unsigned v) { selectAs<DtmfCode>(dtmf_chosen) = v; }
    void set_ced() { selectAs<ASN1::Null>(ced_chosen); }
    void set_dtmfDone() { selectAs<ASN1::Null>(dtmfDone_chosen); }
};

class TonecEvent : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    explicit TonecEvent(const InfoType* info = &theInfo) : ASN1::SEQUENCE(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new TonecEvent(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new TonecEvent(*this); }

    ASN1::INTEGER& get_timestamp() { return fieldAs<ASN1::INTEGER>(0); }
    void set_timestamp(int v) { fieldAs<ASN1::INTEGER>(0).setValue(v); }
    TonecCode& get_event() { return fieldAs<TonecCode>(1); }
    const TonecCode& get_event() const { return fieldAs<TonecCode>(1); }
    void set_event(const TonecCode& v) { fieldAs<TonecCode>(1) = v; }
};

class Command : public ASN1::CHOICE {
public:
    enum Choices { query_chosen = 0, connect_chosen = 2, userData_chosen = 8 };
    static const InfoType theInfo;
    explicit Command(const InfoType* info = &theInfo) : ASN1::CHOICE(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new Command(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new Command(*this); }

    SlotNumber& get_connect() { return selectionAs<SlotNumber>(connect_chosen); }
    void set_connect(unsigned v) { selectAs<SlotNumber>(connect_chosen) = v; }
    ASN1::OCTET_STRING& set_userData() { return selectAs<ASN1::OCTET_STRING>(userData_chosen); }
};

class Response : public ASN1::CHOICE {
public:
    enum Choices { success_chosen = 0, error_chosen = 1 };
    static const InfoType theInfo;
    explicit Response(const InfoType* info = &theInfo) : ASN1::CHOICE(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new Response(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new Response(*this); }

    void set_success() { selectAs<ASN1::Null>(success_chosen); }
    ErrorCause& get_error() { return selectionAs<ErrorCause>(error_chosen); }
    void set_error(ErrorCause::NamedNumber v) { selectAs<ErrorCause>(error_chosen) = v; }
};

class Signal : public ASN1::CHOICE {
public:
    enum Choices { tonec_chosen = 1, number_chosen = 2, deactivated_chosen = 6 };
    static const InfoType theInfo;
    explicit Signal(const InfoType* info = &theInfo) : ASN1::CHOICE(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new Signal(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new Signal(*this); }

    TonecEvent& get_tonec() { return selectionAs<TonecEvent>(tonec_chosen); }
    TonecEvent& set_tonec() { return selectAs<TonecEvent>(tonec_chosen); }
    void set_tonec(const TonecEvent& v) { setSelection(tonec_chosen, v.clone()); }
    void set_number(const std::string& v) { selectAs<ASN1::IA5String>(number_chosen) = v; }
    DeactivateCause& get_deactivated() { return selectionAs<DeactivateCause>(deactivated_chosen); }
    void set_deactivated(DeactivateCause::NamedNumber v) { selectAs<DeactivateCause>(deactivated_chosen) = v; }
};

class PDU : public ASN1::CHOICE {
public:
    enum Choices { command_chosen = 0, response_chosen = 1, signal_chosen = 2 };
    static const InfoType theInfo;
    explicit PDU(const InfoType* info = &theInfo) : ASN1::CHOICE(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new PDU(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new PDU(*this); }

    Command& get_command() { return selectionAs<Command>(command_chosen); }
    Command& set_command() { return selectAs<Command>(command_chosen); }
    Response& get_response() { return selectionAs<Response>(response_chosen); }
    Response& set_response() { return selectAs<Response>(response_chosen); }
    Signal& get_signal() { return selectionAs<Signal>(signal_chosen); }
    Signal& set_signal() { return selectAs<Signal>(signal_chosen); }
    void set_signal(const Signal& v) { setSelection(signal_chosen, v.clone()); }
};

class Message : public ASN1::SEQUENCE {
public:
    enum OptionalFields { e_seq = 0, e_slot = 1 };
    static const InfoType theInfo;
    explicit Message(const InfoType* info = &theInfo) : ASN1::SEQUENCE(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new Message(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new Message(*this); }

    ASN1::INTEGER& get_seq() { return fieldAs<ASN1::INTEGER>(0, e_seq); }
    void set_seq(int v) { fieldAs<ASN1::INTEGER>(0, e_seq).setValue(v); }
    SlotNumber& get_slot() { return fieldAs<SlotNumber>(1, e_slot); }
    void set_slot(unsigned v) { fieldAs<SlotNumber>(1, e_slot) = v; }
    PDU& get_pdu() { return fieldAs<PDU>(2); }
    const PDU& get_pdu() const { return fieldAs<PDU>(2); }
    void set_pdu(const PDU& v) { fieldAs<PDU>(2) = v; }
};

class Extended : public ASN1::SEQUENCE {
public:
    enum OptionalFields { e_b = 0, e_c = 1, e_d = 2 };
    static const InfoType theInfo;
    explicit Extended(const InfoType* info = &theInfo) : ASN1::SEQUENCE(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new Extended(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new Extended(*this); }

    Small& get_a() { return fieldAs<Small>(0); }
    void set_a(unsigned v) { fieldAs<Small>(0) = v; }
    ASN1::BOOLEAN& get_b() { return fieldAs<ASN1::BOOLEAN>(1, e_b); }
    void set_b(bool v) { fieldAs<ASN1::BOOLEAN>(1, e_b) = v; }
    ASN1::IA5String& get_c() { return fieldAs<ASN1::IA5String>(2, e_c); }
    void set_c(const std::string& v) { fieldAs<ASN1::IA5String>(2, e_c) = v; }
    Payload& get_d() { return fieldAs<Payload>(3, e_d); }
    void set_d(Payload::NamedNumber v) { fieldAs<Payload>(3, e_d) = v; }
};

class Digits : public ASN1::SEQUENCE {
public:
    enum OptionalFields { e_state_channel = 0 };
    typedef ASN1::SEQUENCE_OF<TonecEvent> List;
    static const InfoType theInfo;
    explicit Digits(const InfoType* info = &theInfo) : ASN1::SEQUENCE(info) {}
    static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
    {
        return new Digits(static_cast<const InfoType*>(info));
    }
    ASN1::AbstractData* do_clone() const override { return new Digits(*this); }

    List& get_list() { return fieldAs<List>(0); }
    const List& get_list() const { return fieldAs<List>(0); }
    ASN1::BOOLEAN& get_state_channel() { return fieldAs<ASN1::BOOLEAN>(1, e_state_channel); }
    void set_state_channel(bool v) { fieldAs<ASN1::BOOLEAN>(1, e_state_channel) = v; }
};

// INTEGER (0..4294967295)
const ASN1::ConstrainedObject::InfoType wordInfo = {{&ASN1::INTEGER::create, 2}, ASN1::FixedConstraint, 0, 4294967295u};

// A tone event signal with both optional fields.
inline Message toneMessage()
{
    Message msg;
    msg.includeOptionalField(Message::e_seq, 0);
    msg.set_seq(7);
    msg.includeOptionalField(Message::e_slot, 1);
    msg.set_slot(12);
    TonecEvent& event = msg.get_pdu().set_signal().set_tonec();
    event.set_timestamp(1000);
    event.get_event().set_dtmf(5);
    return msg;
}

} // namespace Demo
