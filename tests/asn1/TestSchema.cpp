#include "TestSchema.h"

namespace Demo {
namespace {

const char* const ErrorCause_enum_names__[] = {
    "invalidParams", "insufficientResources", "invalidSlot", "slotNotExists", "unexpectedMsgType",
    "internal", "unsupported", "reconnectionFail", "disconnectFail", "connectFail", "busError",
    "slotIdBusy", "destroyInProgress"};

const char* const DeactivateCause_enum_names__[] = {"networkError", "otherError"};

const char* const Payload_enum_names__[] = {"ptPCMU", "ptGSM=3", "ptG723", "ptG728=13", "ptR2S=123", "min=1"};

const ASN1::AbstractData::InfoType* const TonecCode_selectionInfos[] = {
    &DtmfCode::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo,
    &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo};
const char* const TonecCode_selectionNames[] = {"dtmf", "r1", "ced", "cng", "iva", "tone-presence", "dtmfDone"};

const ASN1::AbstractData::InfoType* const TonecEvent_fieldInfos[] = {&ASN1::INTEGER::theInfo, &TonecCode::theInfo};
const std::int32_t TonecEvent_fieldIds[] = {-1, -1};
const char* const TonecEvent_fieldNames[] = {"timestamp", "event"};

const ASN1::AbstractData::InfoType* const Command_selectionInfos[] = {
    &ASN1::Null::theInfo, &ASN1::Null::theInfo, &SlotNumber::theInfo, &ASN1::Null::theInfo,
    &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo,
    &ASN1::OCTET_STRING::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo,
    &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo};
const char* const Command_selectionNames[] = {
    "query", "testBpc", "connect", "disconnect", "create", "destroy", "activate", "deactivate",
    "userData", "ioctl", "trunkCfg", "clockCfg", "ping", "display", "protoLemz"};

const ASN1::AbstractData::InfoType* const Response_selectionInfos[] = {&ASN1::Null::theInfo, &ErrorCause::theInfo};
const char* const Response_selectionNames[] = {"success", "error"};

const ASN1::AbstractData::InfoType* const Signal_selectionInfos[] = {
    &ASN1::Null::theInfo, &TonecEvent::theInfo, &ASN1::IA5String::theInfo, &ASN1::Null::theInfo,
    &ASN1::Null::theInfo, &ASN1::Null::theInfo, &DeactivateCause::theInfo, &ASN1::INTEGER::theInfo,
    &ASN1::OCTET_STRING::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo,
    &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo,
    &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo,
    &ASN1::Null::theInfo, &ASN1::Null::theInfo, &ASN1::Null::theInfo};
const char* const Signal_selectionNames[] = {
    "query", "tonec", "number", "modemProceeding", "modemInformation", "activated", "deactivated",
    "abort", "userData", "receiver", "transmitter", "trunkStatus", "ioctl", "loadAvg", "cas",
    "rtpExt", "vad", "power", "protoLemz", "sd", "bss", "rtp", "selcal"};

const ASN1::AbstractData::InfoType* const PDU_selectionInfos[] = {
    &Command::theInfo, &Response::theInfo, &Signal::theInfo};
const char* const PDU_selectionNames[] = {"command", "response", "signal"};

const ASN1::AbstractData::InfoType* const Message_fieldInfos[] = {
    &ASN1::INTEGER::theInfo, &SlotNumber::theInfo, &PDU::theInfo};
const std::int32_t Message_fieldIds[] = {0, 1, -1};
const char* const Message_fieldNames[] = {"seq", "slot", "pdu"};

const ASN1::AbstractData::InfoType* const Extended_fieldInfos[] = {
    &Small::theInfo, &ASN1::BOOLEAN::theInfo, &ASN1::IA5String::theInfo, &Payload::theInfo};
const std::int32_t Extended_fieldIds[] = {-1, 0};
const char* const Extended_fieldNames[] = {"a", "b", "c", "d"};

const ASN1::AbstractData::InfoType* const Digits_fieldInfos[] = {
    &Digits::List::theInfo, &ASN1::BOOLEAN::theInfo};
const std::int32_t Digits_fieldIds[] = {-1, 0};
const char* const Digits_fieldNames[] = {"list", "state-channel"};

} // namespace

const ErrorCause::InfoType ErrorCause::theInfo = {
    {&ErrorCause::create, 10}, true, 12, ErrorCause_enum_names__, 13};

const DeactivateCause::InfoType DeactivateCause::theInfo = {
    {&DeactivateCause::create, 10}, true, 1, DeactivateCause_enum_names__, 2};

const Payload::InfoType Payload::theInfo = {
    {&Payload::create, 10}, false, 123, Payload_enum_names__, 6};

const TonecCode::InfoType TonecCode::theInfo = {
    {&TonecCode::create, 0}, true, TonecCode_selectionInfos, 6, 7, nullptr, TonecCode_selectionNames};

const TonecEvent::InfoType TonecEvent::theInfo = {
    {&TonecEvent::create, 16}, false, TonecEvent_fieldInfos, TonecEvent_fieldIds,
    2, 0, 0, nullptr, nullptr, TonecEvent_fieldNames};

const Command::InfoType Command::theInfo = {
    {&Command::create, 0}, true, Command_selectionInfos, 15, 15, nullptr, Command_selectionNames};

const Response::InfoType Response::theInfo = {
    {&Response::create, 0}, false, Response_selectionInfos, 2, 2, nullptr, Response_selectionNames};

const Signal::InfoType Signal::theInfo = {
    {&Signal::create, 0}, true, Signal_selectionInfos, 23, 23, nullptr, Signal_selectionNames};

const PDU::InfoType PDU::theInfo = {
    {&PDU::create, 0}, false, PDU_selectionInfos, 3, 3, nullptr, PDU_selectionNames};

const Message::InfoType Message::theInfo = {
    {&Message::create, 16}, false, Message_fieldInfos, Message_fieldIds,
    3, 0, 2, nullptr, nullptr, Message_fieldNames};

const Extended::InfoType Extended::theInfo = {
    {&Extended::create, 16}, true, Extended_fieldInfos, Extended_fieldIds,
    2, 2, 1, nullptr, nullptr, Extended_fieldNames};

const Digits::InfoType Digits::theInfo = {
    {&Digits::create, 16}, false, Digits_fieldInfos, Digits_fieldIds,
    2, 0, 1, nullptr, nullptr, Digits_fieldNames};

} // namespace Demo
