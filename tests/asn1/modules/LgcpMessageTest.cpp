// Control messages built with the generated accessors: the worked layouts,
// a round trip of every command, response and signal, and the accessor forms.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"

namespace {

using ModulesTest::hex;

std::string encoded(const ASN1::AbstractData& value)
{
    std::vector<char> out;
    EXPECT_TRUE(ModulesTest::encodePer(value, out));
    return hex(out);
}

TEST(LgcpMessage, WorkedLayouts)
{
    LGCP::Message success;
    success.include_seq();
    success.set_seq(1);
    success.include_slot();
    success.set_slot(5);
    success.get_pdu().set_response().set_success();
    EXPECT_EQ("c00101000540", encoded(success));

    LGCP::Message deactivated;
    deactivated.include_slot();
    deactivated.set_slot(3);
    deactivated.get_pdu().set_signal().set_deactivated(LGCP::DeactivateCause::otherError);
    EXPECT_EQ("4000038640", encoded(deactivated));

    LGCP::Message connect;
    connect.include_seq();
    connect.set_seq(7);
    connect.include_slot();
    connect.set_slot(12);
    connect.get_pdu().set_command().set_connect(40);
    EXPECT_EQ("c00107000c040028", encoded(connect));

    // And back, through the typed getters.
    std::vector<char> octets;
    ASSERT_TRUE(ModulesTest::unhex("c00107000c040028", octets));
    LGCP::Message decoded;
    ASSERT_TRUE(ModulesTest::decodePer(octets, decoded));
    ASSERT_TRUE(decoded.has_seq());
    EXPECT_EQ(7, decoded.get_seq().getValue());
    EXPECT_EQ(12u, decoded.get_slot().getValue());
    ASSERT_EQ(LGCP::PDU::command_chosen, decoded.get_pdu().currentSelection());
    ASSERT_EQ(LGCP::Command::connect_chosen, decoded.get_pdu().get_command().currentSelection());
    EXPECT_EQ(40u, decoded.get_pdu().get_command().get_connect().getValue());
}

// Each alternative of Command, Response and Signal, filled at random, survives
// encoding, decoding and encoding again, and prints.
TEST(LgcpMessage, EveryCommandResponseAndSignalRoundTripsAndPrints)
{
    ModulesTest::Random random(20260601);
    const ASN1::CHOICE::InfoType* kinds[] = {&LGCP::Command::theInfo, &LGCP::Response::theInfo, &LGCP::Signal::theInfo};
    int messages = 0;
    for (std::int32_t kind = 0; kind < 3; ++kind) {
        const ASN1::CHOICE::InfoType* info = kinds[kind];
        for (std::int32_t id = 0; id < static_cast<std::int32_t>(info->totalChoices); ++id) {
            for (int round = 0; round < 8; ++round) {
                SCOPED_TRACE(std::string(LGCP::PDU::theInfo.selectionNames[kind]) + " " + info->selectionNames[id]);
                LGCP::Message message;
                message.include_slot();
                message.set_slot(random.below(1024));
                if (round % 2 == 0) {
                    message.include_seq();
                    message.set_seq(static_cast<int>(random.next()));
                }
                ASN1::AbstractData* alternative = info->selectionInfos[id]->create(info->selectionInfos[id]);
                ModulesTest::fillRandom(*alternative, random);
                ASN1::CHOICE* inner = static_cast<ASN1::CHOICE*>(info->create(info));
                inner->setSelection(id, alternative);
                message.get_pdu().setSelection(kind, inner);

                std::vector<char> octets;
                ASSERT_TRUE(ModulesTest::encodePer(message, octets));
                LGCP::Message decoded;
                ASSERT_TRUE(ModulesTest::decodePer(octets, decoded)) << hex(octets);
                EXPECT_EQ(0, decoded.compare(message)) << hex(octets);
                std::vector<char> again;
                ASSERT_TRUE(ModulesTest::encodePer(decoded, again));
                EXPECT_EQ(hex(octets), hex(again));

                // The decoded parts are objects of the generated classes.
                ASSERT_EQ(kind, decoded.get_pdu().currentSelection());
                const ASN1::CHOICE* part = static_cast<const ASN1::CHOICE*>(decoded.get_pdu().getSelection());
                EXPECT_EQ(id, part->currentSelection());
                if (kind == 0)
                    EXPECT_NE(nullptr, dynamic_cast<const LGCP::Command*>(part));
                else if (kind == 1)
                    EXPECT_NE(nullptr, dynamic_cast<const LGCP::Response*>(part));
                else
                    EXPECT_NE(nullptr, dynamic_cast<const LGCP::Signal*>(part));

                std::ostringstream printed;
                EXPECT_EQ(std::ios_base::goodbit, decoded.print_on(printed));
                EXPECT_NE(std::string::npos, printed.str().find(info->selectionNames[id])) << printed.str();
                EXPECT_EQ(message.asValueNotation(), printed.str());
                ++messages;
            }
        }
    }
    EXPECT_EQ((15 + 2 + 23) * 8, messages);
}

TEST(LgcpMessage, FreshMessageHasNothingToSend)
{
    LGCP::Message message;
    EXPECT_FALSE(message.has_seq());
    EXPECT_FALSE(message.has_slot());
    EXPECT_EQ(ASN1::CHOICE::unselected_, message.get_pdu().currentSelection());
    std::vector<char> octets;
    EXPECT_FALSE(ModulesTest::encodePer(message, octets));
    EXPECT_TRUE(octets.empty());
}

TEST(LgcpMessage, SequenceAccessors)
{
    TERM::RadioFlags flags;
    flags.set_prio(-5);
    flags.set_ptt(true);
    flags.set_selcall(3);
    flags.set_li(511);
    EXPECT_EQ(-5, flags.get_prio().getValue());
    EXPECT_TRUE(flags.get_ptt().getValue());
    EXPECT_FALSE(flags.get_bss().getValue());
    EXPECT_EQ(511u, flags.get_li().getValue());

    TERM::RadioCommandWMSelCall selcall;
    selcall.set_flags(flags);
    selcall.set_ip("10.1.2.3");
    selcall.set_ssrc(4294967295u);
    selcall.set_cid("42");
    EXPECT_EQ(4294967295u, selcall.get_ssrc().getValue());
    EXPECT_EQ(0, selcall.get_flags().compare(flags));
    std::vector<char> octets;
    ASSERT_TRUE(ModulesTest::encodePer(selcall, octets));
    TERM::RadioCommandWMSelCall decoded;
    ASSERT_TRUE(ModulesTest::decodePer(octets, decoded));
    EXPECT_EQ(0, decoded.compare(selcall));
    EXPECT_EQ("10.1.2.3", static_cast<const std::string&>(decoded.get_ip()));

    TERM::RadioCommandWMStandby standby;
    standby.set_state_channel(TERM::RadioStandby::standby);
    standby.set_group(255);
    EXPECT_EQ(TERM::RadioStandby::standby, standby.get_state_channel().getValue());

    LGCP::HdlcPackage package;
    package.set_body(std::string("\x01\xff", 2));
    EXPECT_EQ(2u, package.get_body().size());
    EXPECT_EQ('\xff', package.get_body()[1]);

    LGCP::TranslateDtmfParams dtmf;
    LGCP::DualTone tone;
    tone.set_freq1(697);
    tone.set_freq2(1209);
    dtmf.get_digits().push_back(tone);
    tone.set_freq1(770);
    dtmf.get_digits().push_back(tone);
    ASSERT_EQ(2u, dtmf.get_digits().size());
    EXPECT_EQ(697, dtmf.get_digits()[0].get_freq1().getValue());
    EXPECT_EQ(770, dtmf.get_digits()[1].get_freq1().getValue());
}

TEST(LgcpMessage, OptionalFieldsKeepTheirObjectWhenRemoved)
{
    LGCP::Delays delays;
    EXPECT_FALSE(delays.has_rx());
    delays.include_rx().setValue(250);
    EXPECT_TRUE(delays.has_rx());
    delays.remove_rx();
    EXPECT_FALSE(delays.has_rx());
    EXPECT_EQ(250, delays.include_rx().getValue());

    // Extension additions count after the OPTIONAL root fields.
    TERM::ISDN_NumberType number;
    EXPECT_EQ(0, TERM::ISDN_NumberType::e_screeningInd);
    number.include_screeningInd();
    number.set_screeningInd(TERM::ISDN_NumberType_screeningInd::network);
    EXPECT_TRUE(number.has_screeningInd());
    EXPECT_EQ(1u, number.extensionMap.size());
}

TEST(LgcpMessage, ChoiceAccessors)
{
    LGCP::TonecCode code;
    code.set_dtmf(11);
    EXPECT_EQ(LGCP::TonecCode::dtmf_chosen, code.currentSelection());
    EXPECT_EQ(11u, code.get_dtmf().getValue());
    code.set_dtmfDone();
    EXPECT_EQ(LGCP::TonecCode::dtmfDone_chosen, code.currentSelection());

    LGCP::TonePresence presence;
    presence.set_freq(2100);
    presence.set_presence(true);
    code.set_tone_presence(presence);
    presence.set_freq(1);
    EXPECT_EQ(2100, code.get_tone_presence().get_freq().getValue());
    code.set_tone_presence().set_freq(400);
    EXPECT_FALSE(code.get_tone_presence().get_presence().getValue());

    LGCP::Signal signal;
    signal.set_number("0123");
    EXPECT_EQ("0123", static_cast<const std::string&>(signal.get_number()));
    signal.set_abort(-1);
    EXPECT_EQ(-1, signal.get_abort().getValue());
    signal.set_userData(std::string("xy"));
    EXPECT_EQ(2u, signal.get_userData().size());
    signal.set_power(LGCP::POWERStatus::both);
    EXPECT_EQ(LGCP::POWERStatus::both, signal.get_power().getValue());
}

TEST(LgcpMessageDeathTest, AbsentFieldsAndOtherSelectionsAreFatal)
{
    LGCP::Message message;
    EXPECT_DEATH(message.get_seq(), "ASN1 ASSERTION! access to absent field \"seq\"");
    LGCP::Delays delays;
    delays.include_tx();
    delays.remove_tx();
    EXPECT_DEATH(delays.get_tx(), "ASN1 ASSERTION! access to absent field \"tx\"");
    LGCP::Response response;
    response.set_success();
    EXPECT_DEATH(response.get_error(), "ASN1 ASSERTION! access to unselected alternative \"error\"");
}

} // namespace
