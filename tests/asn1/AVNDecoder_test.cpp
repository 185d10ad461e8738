#include <gtest/gtest.h>

#include <clocale>
#include <sstream>

#include "Octets.h"
#include "TestSchema.h"
#include "asn1/AVNDecoder.h"

using namespace ASN1;

namespace {

// Prints value, reads the text into a fresh value of the same type and
// expects it equal.
void expectReadsBack(const AbstractData& value)
{
    const std::string text = value.asValueNotation();
    std::unique_ptr<AbstractData> copy(value.info()->create(value.info()));
    ASSERT_TRUE(copy->setFromValueNotation(text)) << text;
    EXPECT_EQ(copy->compare(value), 0) << text << "\nread back as\n" << copy->asValueNotation();
}

const NameEntry colourNames[] = {{-1, "none"}, {2, "red"}, {7, "blue"}};
const IntegerWithNamedNumber::InfoType colourInfo = {
    {{&IntegerWithNamedNumber::create, 2}, Unconstrained, 0, NoUpperLimit}, colourNames, 3};

} // namespace

TEST(AVNDecoder, MessagesReadBackEqual)
{
    Demo::Message msg = Demo::toneMessage();
    expectReadsBack(msg);
    msg.removeOptionalField(Demo::Message::e_seq);
    expectReadsBack(msg);

    msg.get_pdu().set_response().set_error(Demo::ErrorCause::destroyInProgress);
    expectReadsBack(msg);
    msg.get_pdu().set_command().set_userData() = std::vector<char>{0, 10, static_cast<char>(255)};
    expectReadsBack(msg);
    msg.get_pdu().set_signal().set_number("12 34,}");
    expectReadsBack(msg);
    msg.get_pdu().get_signal().set_deactivated(Demo::DeactivateCause::otherError);
    expectReadsBack(msg);

    Demo::Digits digits;
    expectReadsBack(digits);
    Demo::TonecEvent event;
    event.set_timestamp(-3);
    event.get_event().set_ced();
    digits.get_list().push_back(event);
    expectReadsBack(digits);
    event.get_event().set_dtmfDone();
    digits.get_list().push_back(event);
    digits.includeOptionalField(Demo::Digits::e_state_channel, 1);
    digits.set_state_channel(true);
    expectReadsBack(digits);

    // Extension additions, which the printer writes after the root fields.
    Demo::Extended ext;
    ext.set_a(7);
    expectReadsBack(ext);
    ext.includeOptionalField(Demo::Extended::e_d, 3);
    ext.set_d(Demo::Payload::ptR2S);
    expectReadsBack(ext);
    ext.includeOptionalField(Demo::Extended::e_c, 2);
    ext.set_c("x");
    ext.includeOptionalField(Demo::Extended::e_b, 1);
    ext.set_b(false);
    expectReadsBack(ext);
}

TEST(AVNDecoder, PrimitiveKindsReadBackEqual)
{
    expectReadsBack(Null());
    expectReadsBack(BOOLEAN(true));
    expectReadsBack(BOOLEAN(false));
    for (std::int32_t v : {0, -1, 2147483647, -2147483647 - 1}) {
        expectReadsBack(INTEGER(v, &INTEGER::theInfo));
        expectReadsBack(INTEGER(v, &Demo::wordInfo));
    }
    OBJECT_IDENTIFIER oid;
    expectReadsBack(oid);
    oid.arcs = {1, 2, 4294967295u};
    expectReadsBack(oid);
    BIT_STRING bits;
    expectReadsBack(bits);
    bits.resize(11);
    bits.set(0);
    bits.set(10);
    expectReadsBack(bits);
    expectReadsBack(OCTET_STRING());
    expectReadsBack(IA5String(""));
    expectReadsBack(IA5String("a b\n{c}, 'd'H"));
    expectReadsBack(GeneralizedTime(2026, 12, 7, 9, 30, 5, 120, 0, true));
    expectReadsBack(GeneralizedTime(2026, 1, 2, 3, 4, 5, 0, -30, false));
    std::setlocale(LC_ALL, "C");
    expectReadsBack(BMPString(L"ab"));
    expectReadsBack(BMPString(L"a\x0416"));     // the list form
    expectReadsBack(BMPString(L""));

    Demo::Payload payload;
    for (std::int32_t v : {0, 1, 3, 4, 13, 123}) {
        payload.ENUMERATED::setValue(v);
        expectReadsBack(payload);
    }
    // An open type reads its decoded value when it has one, else octets.
    OpenData open(new INTEGER(0, &INTEGER::theInfo));
    ASSERT_TRUE(open.setFromValueNotation("-5"));
    EXPECT_EQ(open.compare(OpenData(new INTEGER(-5, &INTEGER::theInfo))), 0);
    OpenData raw;
    raw.set_buf(octets({0xAB, 0x01}));
    expectReadsBack(raw);
    IntegerWithNamedNumber colour(&colourInfo);
    for (std::int32_t v : {-1, 2, 7, 3, -5}) {
        colour.setValue(v);
        expectReadsBack(colour);
    }
}

TEST(AVNDecoder, StringForms)
{
    OCTET_STRING octetString;
    ASSERT_TRUE(octetString.setFromValueNotation("''H"));
    EXPECT_TRUE(octetString.empty());
    ASSERT_TRUE(octetString.setFromValueNotation("'abc'H"));
    EXPECT_EQ(hex(octetString), hex(octets({171, 192})));
    ASSERT_TRUE(octetString.setFromValueNotation(" ' 0A Ff\t1'H "));
    EXPECT_EQ(hex(octetString), hex(octets({0x0A, 0xFF, 0x10})));
    for (const char* bad : {"'0g'H", "'01'B", "'01'", "'01 H", "01'H", "'01' H"})
        EXPECT_FALSE(octetString.setFromValueNotation(bad)) << bad;

    BIT_STRING bits;
    ASSERT_TRUE(bits.setFromValueNotation("'1 0000 0001 1'B"));
    EXPECT_EQ(bits.size(), 10u);
    EXPECT_EQ(hex(std::vector<char>(bits.bitData)), hex(octets({0x80, 0xC0})));
    EXPECT_FALSE(bits.setFromValueNotation("'012'B"));
    EXPECT_FALSE(bits.setFromValueNotation("'01'H"));

    IA5String text;
    ASSERT_TRUE(text.setFromValueNotation("\"\\n\""));
    EXPECT_EQ(text, "\\n");     // no escapes
    EXPECT_FALSE(text.setFromValueNotation("\"open"));
    EXPECT_FALSE(text.setFromValueNotation("plain"));

    BMPString wide;
    EXPECT_FALSE(wide.setFromValueNotation("{{ 0, 1, 0, 65}}"));
    EXPECT_FALSE(wide.setFromValueNotation("{{ 0, 0, 256, 65}}"));
    ASSERT_TRUE(wide.setFromValueNotation("{}"));
    EXPECT_TRUE(wide.empty());

    GeneralizedTime time;
    EXPECT_FALSE(time.setFromValueNotation("\"2026\""));
}

TEST(AVNDecoder, NumbersAndNames)
{
    INTEGER plain;
    INTEGER word(&Demo::wordInfo);
    ASSERT_TRUE(word.setFromValueNotation("4294967295"));
    EXPECT_EQ(word.getUnsignedValue(), 4294967295u);
    EXPECT_FALSE(word.setFromValueNotation("4294967296"));
    EXPECT_FALSE(word.setFromValueNotation("-1"));
    ASSERT_TRUE(plain.setFromValueNotation("-2147483648"));
    EXPECT_EQ(plain.getValue(), -2147483647 - 1);
    EXPECT_FALSE(plain.setFromValueNotation("2147483648"));
    EXPECT_FALSE(plain.setFromValueNotation("-"));
    EXPECT_FALSE(plain.setFromValueNotation("12x"));
    // Taken as read: no range check.
    Demo::SlotNumber slot;
    ASSERT_TRUE(slot.setFromValueNotation("5000"));
    EXPECT_EQ(slot.getValue(), 5000u);

    Demo::Payload payload;
    ASSERT_TRUE(payload.setFromValueNotation("ptR2S=123"));
    EXPECT_EQ(payload.getValue(), Demo::Payload::ptR2S);
    ASSERT_TRUE(payload.setFromValueNotation("ptG723"));
    EXPECT_EQ(payload.getValue(), Demo::Payload::ptG723);
    ASSERT_TRUE(payload.setFromValueNotation("min=1"));
    EXPECT_EQ(payload.getValue(), Demo::Payload::min);
    EXPECT_FALSE(payload.setFromValueNotation("ptR2S"));
    // A value without a name reads as the number the printer writes.
    ASSERT_TRUE(payload.setFromValueNotation("-14"));
    EXPECT_EQ(payload.ENUMERATED::getValue(), -14);
    EXPECT_FALSE(payload.setFromValueNotation("14x"));
    EXPECT_TRUE(payload.setFromName("ptGSM=3"));
    EXPECT_EQ(payload.getValue(), Demo::Payload::ptGSM);
    EXPECT_FALSE(payload.setFromName("ptGSM"));
    EXPECT_EQ(payload.getValue(), Demo::Payload::ptGSM);

    IntegerWithNamedNumber colour(&colourInfo);
    EXPECT_TRUE(colour.setFromName("blue"));
    EXPECT_EQ(colour.getValue(), 7);
    EXPECT_FALSE(colour.setFromName("green"));
    EXPECT_FALSE(colour.setFromValueNotation("green"));

    BOOLEAN flag;
    EXPECT_FALSE(flag.setFromValueNotation("true"));
    EXPECT_FALSE(Null().setFromValueNotation("NUL"));

    std::int32_t id = -1;
    const char* const names[] = {"query", "tonec", "number"};
    EXPECT_TRUE(get_id(names, 3, "number", id));
    EXPECT_EQ(id, 2);
    EXPECT_FALSE(get_id(names, 3, "numbers", id));
    EXPECT_FALSE(get_id(names, 2, "number", id));
}

TEST(AVNDecoder, SequenceFieldRules)
{
    Demo::Message msg;
    // A word ends at "," and "}", so compact text reads too.
    ASSERT_TRUE(msg.setFromValueNotation("{seq 1,slot 2,pdu signal : deactivated : networkError}"));
    EXPECT_EQ(msg.get_seq().getValue(), 1);
    EXPECT_EQ(msg.get_slot().getValue(), 2u);
    EXPECT_EQ(msg.get_pdu().get_signal().get_deactivated().getValue(), Demo::DeactivateCause::networkError);
    ASSERT_TRUE(msg.setFromValueNotation("{ pdu command:ping:NULL}"));
    EXPECT_FALSE(msg.hasOptionalField(Demo::Message::e_seq));
    EXPECT_FALSE(msg.hasOptionalField(Demo::Message::e_slot));
    EXPECT_EQ(msg.get_pdu().currentSelection(), Demo::PDU::command_chosen);

    const char* const failing[] = {
        "{ seq 1 }",                            // mandatory pdu left out
        "{ }",
        "{ slot 1, seq 2, pdu response : success : NULL }",     // out of order
        "{ seq 1, pdu response : success : NULL, extra 1 }",
        "{ seq 1; pdu response : success : NULL }",
        "{ pdu response : success : NULL",
        "{ pdu response success NULL }",
        "{ pdu respond : success : NULL }",
        "{ seq 1, }",
        "seq 1",
    };
    for (const char* text : failing)
        EXPECT_FALSE(Demo::Message().setFromValueNotation(text)) << text;
    // Trailing text after the value.
    EXPECT_FALSE(Demo::Message().setFromValueNotation("{ pdu response : success : NULL } x"));

    // An extensible type takes its additions after the root fields.
    Demo::Extended ext;
    ASSERT_TRUE(ext.setFromValueNotation("{ a 3, d ptG728=13 }"));
    EXPECT_FALSE(ext.hasOptionalField(Demo::Extended::e_b));
    EXPECT_FALSE(ext.hasOptionalField(Demo::Extended::e_c));
    EXPECT_EQ(ext.get_d().getValue(), Demo::Payload::ptG728);
    // Reading again replaces what the text leaves out.
    ASSERT_TRUE(ext.setFromValueNotation("{ a 4, b TRUE }"));
    EXPECT_FALSE(ext.hasOptionalField(Demo::Extended::e_d));
    EXPECT_FALSE(ext.setFromValueNotation("{ a 4, e 1 }"));
    EXPECT_FALSE(ext.setFromValueNotation("{ a 4, d ptGSM=3, c \"x\" }"));

    // A CHOICE switches its alternative; a list is cleared first.
    Demo::Digits digits;
    ASSERT_TRUE(digits.setFromValueNotation("{ list { { timestamp 1, event r1 : NULL }, "
                                            "{ timestamp 2, event dtmf : 9 } } }"));
    ASSERT_EQ(digits.get_list().size(), 2u);
    EXPECT_EQ(digits.get_list()[1].get_event().get_dtmf().getValue(), 9u);
    ASSERT_TRUE(digits.setFromValueNotation("{ list {}, state-channel FALSE }"));
    EXPECT_TRUE(digits.get_list().empty());
    EXPECT_FALSE(digits.setFromValueNotation("{ list { { timestamp 1, event r1 : NULL } { } } }"));
}

TEST(AVNDecoder, StreamOperator)
{
    // Values follow one another on one stream.
    std::istringstream strm(Demo::toneMessage().asValueNotation() + "\n'01'H  ptGSM=3");
    Demo::Message msg;
    OCTET_STRING octetString;
    Demo::Payload payload;
    strm >> msg >> octetString >> payload;
    ASSERT_FALSE(strm.fail());
    EXPECT_EQ(msg.compare(Demo::toneMessage()), 0);
    EXPECT_EQ(hex(octetString), hex(octets({1})));
    EXPECT_EQ(payload.getValue(), Demo::Payload::ptGSM);
    EXPECT_EQ(msg.get_from(strm), std::ios_base::failbit);

    // A failed stream is left untouched; a bad text sets failbit.
    std::istringstream bad("FALSE");
    Null null;
    bad >> null;
    EXPECT_TRUE(bad.fail());
    BOOLEAN flag(true);
    bad >> flag;
    EXPECT_TRUE(flag.getValue());
    std::istringstream good("FALSE");
    good >> flag;
    EXPECT_FALSE(good.fail());
    EXPECT_FALSE(flag.getValue());

    std::istringstream throwing("nothing");
    throwing.exceptions(std::ios_base::failbit);
    EXPECT_THROW(throwing >> flag, std::ios_base::failure);

    // The value-notation rule of the entry points.
    CoderEnv avn(CoderEnv::avn_encoding);
    std::vector<char> text;
    ASSERT_TRUE(encode(Demo::toneMessage(), &avn, std::back_inserter(text)));
    Demo::Message decoded;
    ASSERT_TRUE(decode(text.data(), text.data() + text.size(), &avn, decoded, true));
    EXPECT_EQ(decoded.compare(Demo::toneMessage()), 0);
}
