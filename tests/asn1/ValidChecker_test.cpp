#include <gtest/gtest.h>

#include <sstream>

#include "TestSchema.h"
#include "asn1/InvalidTracer.h"
#include "asn1/PrimitiveChecker.h"
#include "asn1/ValidChecker.h"

using namespace ASN1;

namespace {

std::string trace(const AbstractData& value)
{
    std::ostringstream strm;
    trace_invalid(strm, "bad:", value);
    return strm.str();
}

const ConstrainedObject::InfoType signedRange = {{&INTEGER::create, 2}, FixedConstraint, -10, 5};
const ConstrainedObject::InfoType negativeRange = {{&INTEGER::create, 2}, FixedConstraint, -10, static_cast<std::uint32_t>(-5)};
const ConstrainedObject::InfoType extendableRange = {{&INTEGER::create, 2}, ExtendableConstraint, 1, 3};
const ConstrainedObject::InfoType atLeastTwo = {{&INTEGER::create, 2}, PartiallyConstrained, 2, NoUpperLimit};
const ConstrainedObject::InfoType octets2to3 = {{&OCTET_STRING::create, 4}, FixedConstraint, 2, 3};
const ConstrainedObject::InfoType bitsExt1to2 = {{&BIT_STRING::create, 3}, ExtendableConstraint, 1, 2};
const AbstractString::InfoType digits1to4 = {
    {{&NumericString::create, 18}, FixedConstraint, 1, 4}, NumericStringSet, 11, 4, 4, 4};
const BMPString::InfoType latinBmp = {{{&BMPString::create, 30}, ExtendableConstraint, 0, 2}, 32, 255, 8, 8};
// SEQUENCE { t GeneralizedTime, x INTEGER (-10..5) }
const AbstractData::InfoType* const stampedFields[] = {&GeneralizedTime::theInfo, &signedRange};
const std::int32_t stampedIds[] = {-1, -1};
const char* const stampedNames[] = {"t", "x"};
const SEQUENCE::InfoType stampedInfo = {
    {&SEQUENCE::create, 16}, false, stampedFields, stampedIds, 2, 0, 0, nullptr, nullptr, stampedNames};
const SEQUENCE_OF_Base::InfoType listUpTo1 = {
    {{&SEQUENCE_OF<INTEGER>::create, 16}, FixedConstraint, 0, 1}, &signedRange};

} // namespace

TEST(ValidChecker, IntegerLimitsBySignedness)
{
    const struct {
        const ConstrainedObject::InfoType* info;
        std::int32_t value;
        bool valid;
        bool strict;
        const char* text;
    } cases[] = {
        {&INTEGER::theInfo, -5, true, true, ""},
        {&signedRange, -10, true, true, ""},
        {&signedRange, -11, false, false, "bad: The INTEGER value -11 is smaller than lower bound -10"},
        {&signedRange, 6, false, false, "bad: The INTEGER value 6 is greater than upper bound 5"},
        {&negativeRange, -4, false, false, "bad: The INTEGER value -4 is greater than upper bound -5"},
        {&negativeRange, -7, true, true, ""},
        {&Demo::wordInfo, -1, true, true, ""},      // 4294967295
        {&extendableRange, 9, true, false, ""},
        {&extendableRange, 0, true, false, ""},
        {&atLeastTwo, -1, true, true, ""},     // unsigned: 4294967295, no upper limit
        {&atLeastTwo, 1, false, false, "bad: The INTEGER value 1 is smaller than lower bound 2"},
    };
    for (const auto& c : cases) {
        const INTEGER value(c.value, c.info);
        EXPECT_EQ(value.isValid(), c.valid) << c.value;
        EXPECT_EQ(value.isStrictlyValid(), c.strict) << c.value;
        EXPECT_EQ(trace(value), c.text);
    }
}

TEST(ValidChecker, EnumeratedAndChoice)
{
    Demo::ErrorCause cause;
    cause.ENUMERATED::setValue(20);
    EXPECT_TRUE(cause.isValid());
    EXPECT_FALSE(cause.isStrictlyValid());
    cause.ENUMERATED::setValue(-1);
    EXPECT_FALSE(cause.isValid());
    EXPECT_EQ(trace(cause), "bad: This ENUMERATED has invalid value -1");
    Demo::Payload payload;
    payload.ENUMERATED::setValue(124);
    EXPECT_FALSE(payload.isValid());
    payload = Demo::Payload::ptR2S;
    EXPECT_TRUE(payload.isStrictlyValid());

    Demo::PDU pdu;
    EXPECT_FALSE(pdu.isValid());
    EXPECT_EQ(trace(pdu), "bad: This CHOICE is not selected");
    pdu.choiceID = CHOICE::unknownSelection_;
    EXPECT_EQ(trace(pdu), "bad: This selection is not understood by this decoder");
    pdu.set_response().set_error(Demo::ErrorCause::busError);
    EXPECT_TRUE(pdu.isStrictlyValid());
    pdu.get_response().get_error().ENUMERATED::setValue(13);
    EXPECT_TRUE(pdu.isValid());
    EXPECT_FALSE(pdu.isStrictlyValid());

    // An extension alternative: valid, not strictly valid.
    Demo::TonecCode code;
    code.set_dtmfDone();
    EXPECT_TRUE(code.isValid());
    EXPECT_FALSE(code.isStrictlyValid());
    code.set_dtmf(128);
    EXPECT_EQ(trace(code), "bad:.dtmf The INTEGER value 128 is greater than upper bound 127");
}

TEST(ValidChecker, SizesAndCharacters)
{
    OCTET_STRING octets(1, 'x', &octets2to3);
    EXPECT_FALSE(octets.isValid());
    EXPECT_EQ(trace(octets), "bad: This OCTET STRING has size 1 smaller than its lower bound 2");
    octets.resize(4);
    EXPECT_EQ(trace(octets), "bad: This OCTET STRING has size 4 greater than its upper bound 3");
    octets.resize(3);
    EXPECT_TRUE(octets.isStrictlyValid());

    BIT_STRING bits(&bitsExt1to2);
    EXPECT_EQ(trace(bits), "bad: This BIT STRING has size 0 smaller than its lower bound 1");
    bits.resize(9);
    EXPECT_TRUE(bits.isValid());
    EXPECT_FALSE(bits.isStrictlyValid());

    NumericString number("12 4", &digits1to4);
    EXPECT_TRUE(number.isStrictlyValid());
    number = "12a";
    EXPECT_EQ(number.first_illegal_at(), 2u);
    EXPECT_EQ(trace(number), "bad: The character 'a' is not valid for the string");
    number = "12345";
    EXPECT_EQ(trace(number), "bad: This AbstractString has size 5 greater than its upper bound 4");
    number = "";
    EXPECT_FALSE(number.isValid());
    IA5String text("\x7f");
    EXPECT_TRUE(text.isStrictlyValid());
    text = std::string(1, static_cast<char>(0x80));
    EXPECT_FALSE(text.isValid());

    BMPString wide(L"abc", &latinBmp);
    EXPECT_TRUE(wide.isValid());
    EXPECT_FALSE(wide.isStrictlyValid());
    wide = L"a\x0416";
    EXPECT_FALSE(wide.legalCharacter(L'\x0416'));
    EXPECT_EQ(trace(wide), "bad: The character '1046' is not valid for the string");

    SEQUENCE_OF<INTEGER> list(&listUpTo1);
    EXPECT_TRUE(list.isStrictlyValid());
    list.resize(1);
    list[0].setValue(9);
    EXPECT_EQ(trace(list), "bad:[0] The INTEGER value 9 is greater than upper bound 5");
    list.resize(2);
    EXPECT_EQ(trace(list), "bad: This SEQUENCE OF has size 2 greater than its upper bound 1");
}

TEST(ValidChecker, OtherKindsAndPaths)
{
    OBJECT_IDENTIFIER oid;
    EXPECT_TRUE(oid.isValid());
    EXPECT_FALSE(oid.isStrictlyValid());
    InvalidTracer oidTracer;
    EXPECT_FALSE(oid.accept(oidTracer));
    EXPECT_EQ(oidTracer.text(), " This OBJECT IDENTIFIER is not assigned");

    GeneralizedTime time(2026, 13, 1, 0, 0, 0);
    EXPECT_TRUE(time.isValid());
    EXPECT_FALSE(time.isStrictlyValid());
    InvalidTracer timeTracer;
    EXPECT_FALSE(time.accept(timeTracer));
    EXPECT_EQ(timeTracer.text(), " This GeneralizedTime is not valid");
    EXPECT_EQ(trace(time), "");
    // The path passes the bad (but valid) time by for the invalid number.
    SEQUENCE stamped(&stampedInfo);
    static_cast<GeneralizedTime&>(*stamped.fields[0]) = time;
    static_cast<INTEGER&>(*stamped.fields[1]).setValue(6);
    EXPECT_EQ(trace(stamped), "bad:.x The INTEGER value 6 is greater than upper bound 5");
    EXPECT_TRUE(GeneralizedTime(2026, 12, 31, 24, 59, 59, 0, -720).isStrictlyValid());
    EXPECT_FALSE(GeneralizedTime(2026, 12, 31, 0, 0, 0, 0, 721).isStrictlyValid());

    OpenData open;
    EXPECT_FALSE(open.isValid());
    EXPECT_EQ(trace(open), "bad: This Open Type does not contain any valid data");
    open.set_buf(std::vector<char>(1, 0));
    EXPECT_TRUE(open.isStrictlyValid());
    OpenData holding(new INTEGER(6, &signedRange));
    EXPECT_FALSE(holding.isValid());

    Demo::Message msg;
    msg.get_pdu().set_signal().set_tonec().get_event().set_dtmf(3);
    EXPECT_TRUE(msg.isStrictlyValid());
    EXPECT_EQ(trace(msg), "");
    msg.includeOptionalField(Demo::Message::e_slot, 1);
    msg.set_slot(1024);
    EXPECT_FALSE(msg.isValid());
    EXPECT_EQ(trace(msg), "bad:.slot The INTEGER value 1024 is greater than upper bound 1023");
    msg.set_slot(1023);
    msg.get_pdu().get_signal().get_tonec().get_event().set_dtmf(200);
    EXPECT_EQ(trace(msg), "bad:.pdu.signal.tonec.event.dtmf The INTEGER value 200 is greater than upper bound 127");
    // An absent OPTIONAL field is not checked.
    msg.set_slot(5000);
    msg.removeOptionalField(Demo::Message::e_slot);
    msg.get_pdu().get_signal().get_tonec().get_event().set_dtmf(1);
    EXPECT_TRUE(msg.isValid());

    // Extension additions are checked when present.
    Demo::Extended ext;
    ext.includeOptionalField(Demo::Extended::e_d, 3);
    ext.get_d().ENUMERATED::setValue(500);
    EXPECT_EQ(trace(ext), "bad:.d This ENUMERATED has invalid value 500");

    Demo::Digits digits;
    Demo::TonecEvent event;
    digits.get_list().push_back(event);
    EXPECT_EQ(trace(digits), "bad:.list[0].event This CHOICE is not selected");
}

TEST(PrimitiveChecker, ConstructedKinds)
{
    EXPECT_TRUE(isPrimitive(INTEGER()));
    EXPECT_TRUE(isPrimitive(OCTET_STRING()));
    EXPECT_FALSE(isPrimitive(Demo::TonecEvent()));
    EXPECT_FALSE(isPrimitive(SEQUENCE_OF<INTEGER>()));
    Demo::Signal signal;
    signal.set_tonec();
    EXPECT_FALSE(isPrimitive(signal));
    signal.set_number("1");
    EXPECT_TRUE(isPrimitive(signal));
    EXPECT_FALSE(isPrimitive(OpenData(new Demo::TonecEvent)));
    OpenData raw;
    raw.set_buf(std::vector<char>(2, 0));
    EXPECT_TRUE(isPrimitive(raw));
}
