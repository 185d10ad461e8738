#pragma once
// ASN.1 runtime: values, constant descriptors, visitors, aligned PER coder,
// value-notation printer and parser. Generated modules include this header only.
//
// ===================== How a generated type must look =====================
//
// Every type has a class in its module's namespace deriving from the runtime
// class of its kind, adding no data, with a constant descriptor `theInfo`.
// Descriptors are aggregates initialised with constants only (addresses of
// other descriptors, arrays and functions), so they are ready before any
// constructor runs; nothing is filled in at start-up. A descriptor's `create`
// builds the generated class and the class overrides `do_clone`, so every
// value with that descriptor (decoded, cloned, created) really is an object of
// the generated class. Each class has these four members:
//
//     static const InfoType theInfo;                        // InfoType of the kind
//     explicit X(const InfoType* info = &theInfo) : <Kind>(info) {}
//     static ASN1::AbstractData* create(const ASN1::AbstractData::InfoType* info)
//     { return new X(static_cast<const InfoType*>(info)); }
//     ASN1::AbstractData* do_clone() const override { return new X(*this); }
//
// Field, alternative and element classes: NULL ASN1::Null, BOOLEAN
// ASN1::BOOLEAN, INTEGER ASN1::INTEGER, INTEGER (a..b)
// ASN1::Constrained_INTEGER<ASN1::FixedConstraint, a, b> (b as unsigned, for
// example 4294967295u), OCTET STRING ASN1::OCTET_STRING, IA5String
// ASN1::IA5String, SEQUENCE OF T ASN1::SEQUENCE_OF<T>, SET OF T
// ASN1::SET_OF<T>, a module type its generated class. A type defined as
// "X ::= SEQUENCE OF T" is `typedef ASN1::SEQUENCE_OF<T> X;`.
//
// --- SEQUENCE:  Message ::= SEQUENCE { seq INTEGER OPTIONAL,
//                    slot INTEGER (0..1023) OPTIONAL, pdu PDU }
//
//   class Message : public ASN1::SEQUENCE {
//   public:
//       (the four members above)
//       ASN1::INTEGER& get_seq() { return fieldAs<ASN1::INTEGER>(0, 0); }
//       const ASN1::INTEGER& get_seq() const { return fieldAs<ASN1::INTEGER>(0, 0); }
//       void set_seq(int v) { fieldAs<ASN1::INTEGER>(0, 0).setValue(v); }
//       void set_slot(unsigned v) { fieldAs<Slot>(1, 1) = v; }   // Slot: the Constrained_INTEGER
//       PDU& get_pdu() { return fieldAs<PDU>(2); }
//       void set_pdu(const PDU& v) { fieldAs<PDU>(2) = v; }
//   };
//
//   fieldAs<T>(fieldIndex, optionalNumber) returns the field object; an
//   OPTIONAL field (optionalNumber >= 0) must be present
//   (includeOptionalField(optionalNumber, fieldIndex) first) and a mandatory
//   one (optionalNumber omitted) must have its object, else the process
//   terminates with a message. Optional numbers count the OPTIONAL root fields
//   from 0 in order; extension addition k is field numFields + k with
//   optional number numOptional + k (always optional).
//
//   const ASN1::AbstractData::InfoType* const Message_fieldInfos[] = {
//       &ASN1::INTEGER::theInfo,
//       &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 1023u>::theInfo,
//       &PDU::theInfo};
//   const std::int32_t Message_fieldIds[] = {0, 1, -1};       // per root field
//   const char* const Message_fieldNames[] = {"seq", "slot", "pdu"};
//   const Message::InfoType Message::theInfo = {
//       {&Message::create, 16},    // create, tag
//       false,                     // extendable
//       Message_fieldInfos, Message_fieldIds,
//       3, 0, 2,                   // numFields, knownExtensions, numOptional
//       nullptr, nullptr,          // extensionPresence, fieldTags
//       Message_fieldNames};
//
// --- CHOICE:  PDU ::= CHOICE { command Command, response Response, signal Signal }
//
//   class PDU : public ASN1::CHOICE {
//   public:
//       (the four members above)
//       Command& get_command() { return selectionAs<Command>(0); }  // fatal when not selected
//       Command& set_command() { return selectAs<Command>(0); }     // selects a new value
//       void set_command(const Command& v) { setSelection(0, v.clone()); }
//   };
//
//   const ASN1::AbstractData::InfoType* const PDU_selectionInfos[] = {
//       &Command::theInfo, &Response::theInfo, &Signal::theInfo};
//   const char* const PDU_selectionNames[] = {"command", "response", "signal"};
//   const PDU::InfoType PDU::theInfo = {
//       {&PDU::create, 0}, false,  // create, tag, extendable
//       PDU_selectionInfos,
//       3, 3,                      // numChoices (root), totalChoices (root + known extensions)
//       nullptr,                   // selectionTags
//       PDU_selectionNames};
//
//   Extension alternatives follow the root ones in both arrays; their ids run
//   from numChoices to totalChoices - 1.
//
// --- ENUMERATED:  ErrorCause ::= ENUMERATED { invalidParams, ..., destroyInProgress, ... }
//
//   class ErrorCause : public ASN1::ENUMERATED {
//   public:
//       enum NamedNumber : std::int32_t { invalidParams, ..., destroyInProgress };
//       (the four members above)
//       NamedNumber getValue() const { return static_cast<NamedNumber>(ENUMERATED::getValue()); }
//       void setValue(NamedNumber v) { ENUMERATED::setValue(v); }
//       ErrorCause& operator=(NamedNumber v) { setValue(v); return *this; }
//   };
//
//   const char* const ErrorCause_enum_names__[] = {"invalidParams", ..., "destroyInProgress"};
//   const ErrorCause::InfoType ErrorCause::theInfo = {
//       {&ErrorCause::create, 10},
//       true,                      // extendable
//       12,                        // maxEnumValue
//       ErrorCause_enum_names__, 13};  // names, namesCount
//
//   Entries are kept exactly as the module writes them ("cs1=8", "ptR2S=123").
//
// --- SEQUENCE OF:  a field `digits SEQUENCE OF DualTone` has the class
//   ASN1::SEQUENCE_OF<DualTone> and the descriptor
//   &ASN1::SEQUENCE_OF<DualTone>::theInfo (defined by the template; its
//   elementInfo is &DualTone::theInfo). push_back(const DualTone&) stores a
//   clone; iterators and operator[] yield DualTone&.
//
// tests/asn1/TestSchema.h holds a complete hand-written module in this form.
// ==========================================================================

#include "asn1/AbstractData.h"
#include "asn1/AbstractString.h"
#include "asn1/BIT_STRING.h"
#include "asn1/BMPString.h"
#include "asn1/BOOLEAN.h"
#include "asn1/CHOICE.h"
#include "asn1/CoderEnv.h"
#include "asn1/ENUMERATED.h"
#include "asn1/GeneralizedTime.h"
#include "asn1/INTEGER.h"
#include "asn1/Null.h"
#include "asn1/OBJECT_IDENTIFIER.h"
#include "asn1/OCTET_STRING.h"
#include "asn1/OpenData.h"
#include "asn1/SEQUENCE.h"
#include "asn1/SEQUENCE_OF.h"
#include "asn1/Visitor.h"
