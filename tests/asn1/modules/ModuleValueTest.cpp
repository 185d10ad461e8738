// Values at the edges of the modules' types: sparse and extensible
// enumerations, extension alternatives, empty lists, constraints.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "asn1/modules/ACP.h"
#include "asn1/modules/BASE.h"
#include "asn1/modules/HSP.h"
#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/MON.h"
#include "asn1/modules/TERM.h"

namespace {

using ModulesTest::decodePer;
using ModulesTest::encodePer;
using ModulesTest::hex;

// Encodes, decodes into a new value of the same type, and returns the octets.
std::string roundTrip(const ASN1::AbstractData& value)
{
    std::vector<char> octets;
    EXPECT_TRUE(encodePer(value, octets));
    std::unique_ptr<ASN1::AbstractData> decoded(value.info()->create(value.info()));
    EXPECT_TRUE(decodePer(octets, *decoded)) << hex(octets);
    EXPECT_EQ(0, decoded->compare(value)) << hex(octets);
    return hex(octets);
}

std::string nameOf(const ASN1::ENUMERATED& value)
{
    const char* name = value.getName();
    return name ? name : "(none)";
}

TEST(ModuleValue, ExtensibleEnumerationsTakeNewerValues)
{
    LGCP::ErrorCause cause;
    cause = LGCP::ErrorCause::destroyInProgress;
    EXPECT_EQ("60", roundTrip(cause));        // 0, then 12 in 4 bits
    EXPECT_EQ("destroyInProgress", nameOf(cause));
    cause.ENUMERATED::setValue(13);
    EXPECT_EQ("(none)", nameOf(cause));
    roundTrip(cause);

    MON::ErrorCause monCause;
    monCause.ENUMERATED::setValue(2);
    roundTrip(monCause);
    EXPECT_EQ("(none)", nameOf(monCause));
}

TEST(ModuleValue, ExtensionNumbersDecodeAsTheyAre)
{
    // Just beyond the root, and the largest number an extension may carry.
    for (const std::int32_t number : {1, INT32_MAX}) {
        ACP::AbortCause sent;
        sent.ENUMERATED::setValue(number);
        std::vector<char> octets;
        ASSERT_TRUE(encodePer(sent, octets));
        ACP::AbortCause cause;
        ASSERT_TRUE(decodePer(octets, cause)) << hex(octets);
        // Through memory, so that UBSan checks the load against the enum's range.
        volatile ACP::AbortCause::NamedNumber value = cause.getValue();
        EXPECT_EQ(number, static_cast<std::int32_t>(value)) << hex(octets);
    }
}

TEST(ModuleValue, SparseEnumerations)
{
    TERM::Payload payload;
    payload = TERM::Payload::ptR2S;
    EXPECT_EQ("f6", roundTrip(payload));       // 123 in 7 bits
    EXPECT_EQ("ptR2S=123", nameOf(payload));
    payload.ENUMERATED::setValue(50);
    EXPECT_EQ("64", roundTrip(payload));
    EXPECT_EQ("(none)", nameOf(payload));

    TERM::ED137CauseCode code;
    code.ENUMERATED::setValue(2016);
    EXPECT_EQ("(none)", nameOf(code));
    roundTrip(code);
    code = TERM::ED137CauseCode::radio_no_permissions;
    EXPECT_EQ("radio-no-permissions=2099", nameOf(code));

    HSP::StandbyState state;
    state = HSP::StandbyState::speak;
    EXPECT_EQ("speak=4", nameOf(state));
    state.ENUMERATED::setValue(3);
    EXPECT_EQ("(none)", nameOf(state));

    LEMZGW::ProtoLemzMsgID id;
    id.ENUMERATED::setValue(4103);
    EXPECT_EQ("(none)", nameOf(id));
    EXPECT_EQ("001007", roundTrip(id));        // extension bit 0, align, 4103 in two octets

    LEMZGW::ProtoLemzAnalogGainIDV1 gain;
    EXPECT_EQ("rtx1", nameOf(gain));
    gain = LEMZGW::ProtoLemzAnalogGainIDV1::max;
    EXPECT_EQ("rsh", nameOf(gain));
    gain = LEMZGW::ProtoLemzAnalogGainIDV1::fake;
    EXPECT_EQ("00ff", roundTrip(gain));
}

TEST(ModuleValue, ValuesOutsideTheirConstraintsDoNotEncode)
{
    std::vector<char> octets;
    TERM::RadioStandby standby;
    standby = TERM::RadioStandby::not_use;
    EXPECT_FALSE(encodePer(standby, octets));
    standby = TERM::RadioStandby::standby;
    EXPECT_TRUE(encodePer(standby, octets));

    TERM::RtpParams params;
    params.get_dhost().set_iaddr("10.0.0.1");
    params.include_dname();
    params.set_dname(std::string(64, 'n'));
    EXPECT_TRUE(encodePer(params, octets));
    params.set_dname(std::string(65, 'n'));
    EXPECT_FALSE(encodePer(params, octets));
    params.set_dname("");
    EXPECT_FALSE(encodePer(params, octets));
}

TEST(ModuleValue, ExtensionAlternativeIsCodedAsExtension)
{
    LGCP::TonecCode code;
    code.set_dtmfDone();
    EXPECT_EQ("800100", roundTrip(code));      // bit 1, small number 0, open type of a NULL
    code.set_cng();
    EXPECT_EQ("30", roundTrip(code));          // bit 0, 3 in 3 bits

    ACP::AcpCommand command;
    command.set_link_uninhibit().set_id("L1");
    command.get_link_uninhibit().set_slc(3);
    roundTrip(command);
}

TEST(ModuleValue, EmptyListsAreValues)
{
    LGCP::IoctlParams ioctl;
    ioctl.set_activateTonec();
    EXPECT_EQ("0400", roundTrip(ioctl));       // bit 0, alternative 2 in 6 bits, count 0

    LEMZGW::ProtoLemzPackets packets;
    EXPECT_EQ("0000", roundTrip(packets));

    MON::SnmpSetCommands commands;
    EXPECT_EQ("0000", roundTrip(commands));
}

TEST(ModuleValue, OptionalPortOfTrapReceiver)
{
    MON::SnmpTrapsink sink;
    sink.set_host("nms");
    EXPECT_EQ("00036e6d73", roundTrip(sink));
    sink.include_port().setValue(162);
    roundTrip(sink);
}

TEST(ModuleValue, SixtyFourBitHalvesAreSigned)
{
    BASE::INTEGER64Bits count;
    count.set_low(-1);
    count.set_high(INT_MIN);
    EXPECT_EQ("01ff0480000000", roundTrip(count));
    EXPECT_EQ(-1, count.get_low().getValue());
}

TEST(ModuleValue, UnknownExtensionsOfTrunkStatusAreSkipped)
{
    // A newer TrunkStatus: the ten root fields and one more addition.
    const ASN1::SEQUENCE::InfoType& root = ACP::TrunkStatus::theInfo;
    std::vector<const ASN1::AbstractData::InfoType*> fields(root.fieldInfos, root.fieldInfos + root.numFields);
    fields.push_back(&ASN1::IA5String::theInfo);
    std::vector<const char*> names(root.fieldNames, root.fieldNames + root.numFields);
    names.push_back("site");
    const ASN1::SEQUENCE::InfoType newer = {
        {&ASN1::SEQUENCE::create, 16}, true, fields.data(), root.fieldIds,
        root.numFields, 1, root.numOptional, nullptr, nullptr, names.data()};

    ModulesTest::Random random(7);
    ACP::TrunkStatus status;
    ModulesTest::fillRandom(status, random);
    ASN1::SEQUENCE extended(&newer);
    for (std::size_t i = 0; i < root.numFields; ++i)
        extended.fields.reset(i, status.getField(i)->clone());
    extended.includeOptionalField(static_cast<std::int32_t>(root.numOptional), root.numFields);
    static_cast<ASN1::IA5String&>(*extended.getField(root.numFields)) = "north";

    std::vector<char> octets;
    ASSERT_TRUE(encodePer(extended, octets));
    ACP::TrunkStatus decoded;
    ASSERT_TRUE(decodePer(octets, decoded)) << hex(octets);
    EXPECT_EQ(0, decoded.compare(status));
}

} // namespace
