// The shape of the generated modules: counts, name tables, names and
// constraints as the modules declare them.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "asn1/modules/ACP.h"
#include "asn1/modules/CCP.h"
#include "asn1/modules/HSP.h"
#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/MON.h"
#include "asn1/modules/Modules.h"
#include "asn1/modules/TERM.h"

namespace {

using ASN1::AbstractData;

std::vector<std::string> names(const char* const* table, std::size_t count)
{
    return std::vector<std::string>(table, table + count);
}

std::vector<std::string> names(const ASN1::ENUMERATED::InfoType& info)
{
    return names(info.names, info.namesCount);
}

TEST(ModuleSchema, EveryModuleHoldsItsTypes)
{
    const std::map<std::string, std::size_t> expected = {
        {"LGCP", 106}, {"MON", 19}, {"TERM", 154}, {"MEDIA", 11}, {"ACP", 42},
        {"CCP", 2}, {"BASE", 3}, {"HSP", 21}, {"LEMZGW", 145}};
    ASSERT_EQ(9u, Asn1Modules::moduleCount);
    for (const auto& m : expected) {
        const Asn1Modules::Module* module = Asn1Modules::findModule(m.first.c_str());
        ASSERT_NE(nullptr, module) << m.first;
        EXPECT_EQ(m.second, module->typeCount) << m.first;
    }
    // Descriptor order, names as the modules write them.
    EXPECT_STREQ("ToneGenerator", LGCP::moduleInfo.types[0].name);
    EXPECT_EQ(&LGCP::Message::theInfo, LGCP::moduleInfo.types[105].info);
    EXPECT_EQ(&TERM::PlayerParams_file::theInfo,
              Asn1Modules::findType(TERM::moduleInfo, "PlayerParams_file")->info);
    EXPECT_EQ(nullptr, Asn1Modules::findType(TERM::moduleInfo, "PlayerParams-file"));
}

TEST(ModuleSchema, ControlMessageAlternatives)
{
    EXPECT_EQ(3u, LGCP::PDU::theInfo.numChoices);
    EXPECT_FALSE(LGCP::PDU::theInfo.extendable);
    EXPECT_EQ(15u, LGCP::Command::theInfo.numChoices);
    EXPECT_EQ(15u, LGCP::Command::theInfo.totalChoices);
    EXPECT_TRUE(LGCP::Command::theInfo.extendable);
    EXPECT_EQ(2u, LGCP::Response::theInfo.numChoices);
    EXPECT_FALSE(LGCP::Response::theInfo.extendable);
    EXPECT_EQ(23u, LGCP::Signal::theInfo.numChoices);
    EXPECT_TRUE(LGCP::Signal::theInfo.extendable);
    EXPECT_EQ(19u, LGCP::CreateParams::theInfo.totalChoices);
    EXPECT_EQ(38u, LGCP::IoctlParams::theInfo.totalChoices);
    EXPECT_EQ(13u, LGCP::ErrorCause::theInfo.namesCount);
    EXPECT_EQ(12u, LGCP::ErrorCause::theInfo.maxEnumValue);
    EXPECT_TRUE(LGCP::ErrorCause::theInfo.extendable);

    EXPECT_EQ(3u, LGCP::Message::theInfo.numFields);
    EXPECT_EQ(2u, LGCP::Message::theInfo.numOptional);
    EXPECT_FALSE(LGCP::Message::theInfo.extendable);
    EXPECT_EQ(static_cast<int>(LGCP::Command::connect_chosen), 2);
    EXPECT_EQ(static_cast<int>(LGCP::Signal::deactivated_chosen), 6);
    EXPECT_STREQ("selcal", LGCP::Signal::theInfo.selectionNames[22]);
    EXPECT_STREQ("trunk_bri", LGCP::CreateParams::theInfo.selectionNames[8]);
    EXPECT_STREQ("dtmf-enable", LGCP::IoctlParams::theInfo.selectionNames[11]);
}

TEST(ModuleSchema, ExtensionAdditions)
{
    // Root and known extension alternatives of the CHOICEs that have additions.
    EXPECT_EQ(6u, LGCP::TonecCode::theInfo.numChoices);
    EXPECT_EQ(7u, LGCP::TonecCode::theInfo.totalChoices);
    EXPECT_STREQ("dtmfDone", LGCP::TonecCode::theInfo.selectionNames[6]);
    EXPECT_EQ(6u, ACP::AcpCommand::theInfo.numChoices);
    EXPECT_EQ(17u, ACP::AcpCommand::theInfo.totalChoices);
    EXPECT_EQ(2u, ACP::AcpResponse::theInfo.numChoices);
    EXPECT_EQ(9u, ACP::AcpResponse::theInfo.totalChoices);

    // Only two SEQUENCEs of all modules have known extension fields.
    std::map<std::string, std::uint32_t> withExtensions;
    for (const Asn1Modules::Module* module : Asn1Modules::modules) {
        for (std::size_t i = 0; i < module->typeCount; ++i) {
            std::unique_ptr<AbstractData> value(module->types[i].info->create(module->types[i].info));
            if (const ASN1::SEQUENCE* seq = dynamic_cast<const ASN1::SEQUENCE*>(value.get())) {
                EXPECT_EQ(nullptr, seq->info()->extensionPresence);
                EXPECT_EQ(nullptr, seq->info()->fieldTags);
                if (seq->info()->knownExtensions != 0)
                    withExtensions[std::string(module->name) + "::" + module->types[i].name] = seq->info()->knownExtensions;
            }
        }
    }
    const std::map<std::string, std::uint32_t> expected = {{"TERM::ISDN_NumberType", 1}, {"TERM::TermParams", 13}};
    EXPECT_EQ(expected, withExtensions);
    EXPECT_EQ(6u, TERM::TermParams::theInfo.numOptional);
    EXPECT_EQ(static_cast<int>(TERM::TermParams::e_radio_command), 18);
    EXPECT_STREQ("radio-command", TERM::TermParams::theInfo.fieldNames[18]);
}

TEST(ModuleSchema, TypesReachableFromControlMessage)
{
    const std::set<const AbstractData::InfoType*> reached = ModulesTest::reachable(&LGCP::Message::theInfo);
    std::map<std::string, int> perModule;
    for (const Asn1Modules::Module* module : Asn1Modules::modules) {
        for (std::size_t i = 0; i < module->typeCount; ++i)
            perModule[module->name] += reached.count(module->types[i].info) ? 1 : 0;
    }
    EXPECT_EQ(67, perModule["TERM"]);
    EXPECT_EQ(140, perModule["LEMZGW"]);
    // The enumerations of error codes, gains and counters serve as plain numbers.
    const std::vector<const ASN1::ENUMERATED::InfoType*> unused = {
        &LEMZGW::ProtoLemzCountersNSizes::theInfo, &LEMZGW::ProtoLemzGgsError::theInfo,
        &LEMZGW::ProtoLemzDconError::theInfo, &LEMZGW::ProtoLemzAnalogGainV1::theInfo,
        &LEMZGW::ProtoLemzAnalogGainV2::theInfo};
    for (const ASN1::ENUMERATED::InfoType* info : unused)
        EXPECT_EQ(0u, reached.count(info));
}

TEST(ModuleSchema, MessageIdsRunInStepWithPayloads)
{
    const ASN1::ENUMERATED::InfoType& ids = LEMZGW::ProtoLemzMsgID::theInfo;
    const ASN1::CHOICE::InfoType& payloads = LEMZGW::ProtoLemzPacketPayload::theInfo;
    ASSERT_EQ(66u, ids.namesCount);
    ASSERT_EQ(66u, payloads.totalChoices);
    for (std::uint32_t i = 0; i < 66; ++i) {
        const std::string entry = ids.names[i];
        EXPECT_EQ(entry.substr(0, entry.find('=')), payloads.selectionNames[i]) << i;
    }
    EXPECT_EQ(13056u, ids.maxEnumValue);
    EXPECT_EQ(4097, LEMZGW::ProtoLemzMsgID::gw_get_id);
    EXPECT_EQ(4135, LEMZGW::ProtoLemzMsgID::gw_rad_select_channel);
    EXPECT_EQ(8210, LEMZGW::ProtoLemzMsgID::dli_set_config);
    EXPECT_EQ(13056, LEMZGW::ProtoLemzMsgID::ali_server_p1);
}

TEST(ModuleSchema, EnumerationTablesKeepAliasesAndValues)
{
    EXPECT_EQ((std::vector<std::string>{"rtx1", "rr1", "rc1", "rrx1", "rtx2", "rr2", "rc2", "rrx2", "rdoc1",
                                        "rdoc2", "rsh", "fake=255", "min=0", "max=10", "mux", "spi"}),
              names(LEMZGW::ProtoLemzAnalogGainIDV1::theInfo));
    EXPECT_EQ(255u, LEMZGW::ProtoLemzAnalogGainIDV1::theInfo.maxEnumValue);
    EXPECT_EQ(0, LEMZGW::ProtoLemzAnalogGainIDV1::min);
    EXPECT_EQ(10, LEMZGW::ProtoLemzAnalogGainIDV1::max);
    EXPECT_EQ(11, LEMZGW::ProtoLemzAnalogGainIDV1::mux);
    EXPECT_EQ((std::vector<std::string>{"rdoc1=11", "rdoc2", "fake=255", "min=11", "max"}),
              names(LEMZGW::ProtoLemzAnalogGainIDV2::theInfo));
    EXPECT_EQ(12, LEMZGW::ProtoLemzAnalogGainIDV2::max);
    EXPECT_EQ((std::vector<std::string>{"dconChannelsCount=3", "ggsChannelsCount=2", "v1radioChannelsCount=1",
                                        "v2radioChannelsCount", "radioChannelsMinCount=1", "radioChannelsMaxCount",
                                        "digital2WireLineCount=2"}),
              names(LEMZGW::ProtoLemzCountersNSizes::theInfo));
    EXPECT_EQ(3u, LEMZGW::ProtoLemzCountersNSizes::theInfo.maxEnumValue);
    EXPECT_EQ((std::vector<std::string>{"ok", "fsm=32", "unexpected_command=64", "hardware=128"}),
              names(LEMZGW::ProtoLemzGgsError::theInfo));
    EXPECT_EQ(64, LEMZGW::ProtoLemzGgsError::unexpected_command);

    EXPECT_EQ((std::vector<std::string>{"not-use=-1", "active", "standby"}), names(TERM::RadioStandby::theInfo));
    EXPECT_EQ(-1, TERM::RadioStandby::not_use);
    EXPECT_EQ(1u, TERM::RadioStandby::theInfo.maxEnumValue);
    EXPECT_FALSE(TERM::RadioStandby::theInfo.extendable);
    EXPECT_EQ(123u, TERM::Payload::theInfo.maxEnumValue);
    EXPECT_STREQ("ptR2S=123", TERM::Payload::theInfo.names[14]);
    EXPECT_EQ(56u, TERM::IpQoSDSCP::theInfo.maxEnumValue);
    EXPECT_STREQ("count=23", TERM::IpQoSDSCP::theInfo.names[23]);
    EXPECT_EQ(23, TERM::IpQoSDSCP::count);
    EXPECT_EQ(2099u, TERM::ED137CauseCode::theInfo.maxEnumValue);
    EXPECT_STREQ("emergency=1", TERM::ED137CallPriority::theInfo.names[0]);
    EXPECT_EQ(16u, HSP::StandbyState::theInfo.maxEnumValue);
    EXPECT_EQ((std::vector<std::string>{"none", "standby=8", "active=16"}), names(HSP::StandbyCommand::theInfo));
    EXPECT_EQ(0u, ACP::AbortCause::theInfo.maxEnumValue);
    EXPECT_TRUE(ACP::AbortCause::theInfo.extendable);
}

TEST(ModuleSchema, NamesWithUnderscoresAndConstraints)
{
    EXPECT_STREQ("det_lvl_dB", LGCP::IVAParams::theInfo.fieldNames[0]);
    EXPECT_STREQ("tdm_inputs", LGCP::MixerResources_subtype::theInfo.fieldNames[1]);
    EXPECT_STREQ("receiver_state", HSP::RadioChannelCommandRadioStateExt::theInfo.fieldNames[1]);
    EXPECT_STREQ("state-channel", TERM::RadioCommandWMStandby::theInfo.fieldNames[0]);

    // dname: an IA5String of its own with SIZE(1..64).
    const ASN1::AbstractString::InfoType* dname =
        static_cast<const ASN1::AbstractString::InfoType*>(TERM::RtpParams::theInfo.fieldInfos[3]);
    EXPECT_NE(static_cast<const AbstractData::InfoType*>(&ASN1::IA5String::theInfo), TERM::RtpParams::theInfo.fieldInfos[3]);
    EXPECT_EQ(ASN1::FixedConstraint, dname->type);
    EXPECT_EQ(1, dname->lowerLimit);
    EXPECT_EQ(64u, dname->upperLimit);
    EXPECT_EQ(128u, dname->characterSetSize);

    const ASN1::ConstrainedObject::InfoType* fid =
        static_cast<const ASN1::ConstrainedObject::InfoType*>(TERM::ED137RadioSignaling::theInfo.fieldInfos[14]);
    EXPECT_EQ(112000, fid->lowerLimit);
    EXPECT_EQ(399975u, fid->upperLimit);
    const ASN1::ConstrainedObject::InfoType* quality =
        static_cast<const ASN1::ConstrainedObject::InfoType*>(TERM::ED137RadioRecorderParams::theInfo.fieldInfos[4]);
    EXPECT_EQ(-128, quality->lowerLimit);
    EXPECT_EQ(127u, quality->upperLimit);
    EXPECT_EQ(&ASN1::SET_OF<LGCP::TonecMask>::theInfo, LGCP::IoctlParams::theInfo.selectionInfos[2]);
    EXPECT_EQ(17u, LGCP::IoctlParams::theInfo.selectionInfos[2]->tag);
    EXPECT_EQ(&ASN1::OBJECT_IDENTIFIER::theInfo, CCP::Message::theInfo.fieldInfos[0]);
}

} // namespace
