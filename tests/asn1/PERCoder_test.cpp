#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <random>

#include "Octets.h"
#include "TestSchema.h"
#include "asn1/PERDecoder.h"
#include "asn1/PEREncoder.h"

using namespace ASN1;

namespace {

template <std::int32_t L, std::uint32_t U>
using Fixed = Constrained_INTEGER<FixedConstraint, L, U>;

// A few runtime-only types for layouts the example module lacks.
const ConstrainedObject::InfoType partialInfo = {{&INTEGER::create, 2}, PartiallyConstrained, 0, NoUpperLimit};
const ConstrainedObject::InfoType partialSignedInfo = {{&INTEGER::create, 2}, PartiallyConstrained, -5, NoUpperLimit};
const ConstrainedObject::InfoType extendableInfo = {{&INTEGER::create, 2}, ExtendableConstraint, 0, 7};
const ConstrainedObject::InfoType shortOctetsInfo = {{&OCTET_STRING::create, 4}, FixedConstraint, 0, 7};
const AbstractString::InfoType sizedIA5Info = {
    {{&IA5String::create, 22}, FixedConstraint, 1, 64}, IA5StringSet, 128, 7, 7, 8};

// SEQUENCE { bits BIT STRING, flag BOOLEAN }
const AbstractData::InfoType* const bitsFlagFields[] = {&BIT_STRING::theInfo, &BOOLEAN::theInfo};
const std::int32_t bitsFlagIds[] = {-1, -1};
const char* const bitsFlagNames[] = {"bits", "flag"};
const SEQUENCE::InfoType bitsFlagInfo = {
    {&SEQUENCE::create, 16}, false, bitsFlagFields, bitsFlagIds, 2, 0, 0, nullptr, nullptr, bitsFlagNames};

// SEQUENCE { flag BOOLEAN, ..., n NULL }
const AbstractData::InfoType* const nullExtFields[] = {&BOOLEAN::theInfo, &Null::theInfo};
const std::int32_t nullExtIds[] = {-1};
const char* const nullExtNames[] = {"flag", "n"};
const SEQUENCE::InfoType nullExtInfo = {
    {&SEQUENCE::create, 16}, true, nullExtFields, nullExtIds, 1, 1, 0, nullptr, nullptr, nullExtNames};

// Demo::Extended before its extension additions.
const SEQUENCE::InfoType extendedRootInfo = {
    {&SEQUENCE::create, 16}, true, Demo::Extended::theInfo.fieldInfos, Demo::Extended::theInfo.fieldIds,
    2, 0, 1, nullptr, nullptr, Demo::Extended::theInfo.fieldNames};

// INTEGER (1..21) alone
const ConstrainedObject::InfoType code21Info = {{&INTEGER::create, 2}, FixedConstraint, 1, 21};

Demo::Message successMessage()
{
    Demo::Message msg;
    msg.includeOptionalField(Demo::Message::e_seq, 0);
    msg.set_seq(1);
    msg.includeOptionalField(Demo::Message::e_slot, 1);
    msg.set_slot(5);
    msg.get_pdu().set_response().set_success();
    return msg;
}

Demo::Message deactivatedMessage()
{
    Demo::Message msg;
    msg.includeOptionalField(Demo::Message::e_slot, 1);
    msg.set_slot(3);
    msg.get_pdu().set_signal().set_deactivated(Demo::DeactivateCause::otherError);
    return msg;
}

Demo::Message connectMessage()
{
    Demo::Message msg;
    msg.includeOptionalField(Demo::Message::e_seq, 0);
    msg.set_seq(7);
    msg.includeOptionalField(Demo::Message::e_slot, 1);
    msg.set_slot(12);
    msg.get_pdu().set_command().set_connect(40);
    return msg;
}

template <class T, class V>
std::vector<char> perOf(V v)
{
    T value;
    value = v;
    return per(value);
}

} // namespace

TEST(PERWorkedExamples, EncodeAndDecodeByteForByte)
{
    const std::vector<char> success = octets({0xC0, 0x01, 0x01, 0x00, 0x05, 0x40});
    const std::vector<char> deactivated = octets({0x40, 0x00, 0x03, 0x86, 0x40});
    const std::vector<char> connect = octets({0xC0, 0x01, 0x07, 0x00, 0x0C, 0x04, 0x00, 0x28});
    EXPECT_EQ(hex(per(successMessage())), hex(success));
    EXPECT_EQ(hex(per(deactivatedMessage())), hex(deactivated));
    EXPECT_EQ(hex(per(connectMessage())), hex(connect));

    const std::pair<const std::vector<char>*, Demo::Message> decoded[] = {
        {&success, successMessage()}, {&deactivated, deactivatedMessage()}, {&connect, connectMessage()}};
    for (const auto& d : decoded) {
        Demo::Message back;
        ASSERT_TRUE(unper(*d.first, back)) << hex(*d.first);
        EXPECT_EQ(back.compare(d.second), 0) << back.asValueNotation();
    }
}

TEST(PERConstrainedNumber, RangeSizes)
{
    EXPECT_EQ(hex(perOf<Fixed<0, 1023>>(5u)), hex(octets({0x00, 0x05})));
    EXPECT_EQ(hex(perOf<Fixed<0, 127>>(5u)), hex(octets({0x0A})));                 // 0000101, padded
    EXPECT_EQ(hex(perOf<Fixed<0, 254>>(254u)), hex(octets({0xFE})));               // range 255: 8 bits
    EXPECT_EQ(hex(perOf<Fixed<0, 255>>(7u)), hex(octets({0x07})));                 // range 256
    EXPECT_EQ(hex(perOf<Fixed<0, 65535>>(7u)), hex(octets({0x00, 0x07})));         // range 65536
    EXPECT_EQ(hex(perOf<Fixed<0, 65536>>(7u)), hex(octets({0x00, 0x07})));         // 2-bit count 00, one octet
    EXPECT_EQ(hex(perOf<Fixed<0, 65536>>(65536u)), hex(octets({0x80, 0x01, 0x00, 0x00})));
    EXPECT_EQ(hex(perOf<Fixed<0, 4294967295u>>(0u)), hex(octets({0x00, 0x00})));
    EXPECT_EQ(hex(perOf<Fixed<0, 4294967295u>>(70000u)), hex(octets({0x80, 0x01, 0x11, 0x70})));
    EXPECT_EQ(hex(perOf<Fixed<0, 4294967295u>>(4294967295u)), hex(octets({0xC0, 0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_EQ(hex(perOf<Fixed<-128, 127>>(-5)), hex(octets({0x7B})));
    EXPECT_TRUE((perOf<Fixed<9, 9>>(9u).empty()));                                      // range 1: nothing

    Fixed<0, 4294967295u> big;
    ASSERT_TRUE(unper(octets({0xC0, 0xFF, 0xFF, 0xFF, 0xFE}), big));
    EXPECT_EQ(big.getValue(), 4294967294u);
    Fixed<-128, 127> small;
    ASSERT_TRUE(unper(octets({0x00}), small));
    EXPECT_EQ(small.getValue(), -128);
    Fixed<9, 9> single;
    EXPECT_TRUE(unper({}, single));
    EXPECT_EQ(single.getValue(), 9u);

    bool ok = true;
    per(Fixed<0, 1023>(1024u), &ok);
    EXPECT_FALSE(ok);
    per(Fixed<-128, 127>(128), &ok);
    EXPECT_FALSE(ok);

    // A field wider than the range stores lower limit plus the field, but
    // never wraps past 32 bits (four octets where the range needs three).
    INTEGER code(&code21Info);
    ASSERT_TRUE(unper(octets({0xF8}), code));
    EXPECT_EQ(code.getValue(), 32);
    Fixed<112000, 399975> rate;
    EXPECT_FALSE(unper(octets({0xC0, 0xFF, 0xFF, 0xFF, 0xFF}), rate));
}

TEST(PERUnconstrainedInteger, TwosComplementOctets)
{
    const struct {
        std::int32_t value;
        std::vector<char> bytes;
    } cases[] = {
        {0, octets({0x01, 0x00})},
        {127, octets({0x01, 0x7F})},
        {128, octets({0x02, 0x00, 0x80})},
        {-1, octets({0x01, 0xFF})},
        {-128, octets({0x01, 0x80})},
        {-129, octets({0x02, 0xFF, 0x7F})},
        {INT_MAX, octets({0x04, 0x7F, 0xFF, 0xFF, 0xFF})},
        {INT_MIN, octets({0x04, 0x80, 0x00, 0x00, 0x00})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hex(per(INTEGER(c.value, &INTEGER::theInfo))), hex(c.bytes)) << c.value;
        INTEGER back;
        ASSERT_TRUE(unper(c.bytes, back)) << c.value;
        EXPECT_EQ(back.getValue(), c.value);
    }
    INTEGER zero(5, &INTEGER::theInfo);
    ASSERT_TRUE(unper(octets({0x00}), zero));      // length 0 reads as 0
    EXPECT_EQ(zero.getValue(), 0);
    EXPECT_FALSE(unper(octets({0x05, 1, 2, 3, 4, 5}), zero));   // more than 4 octets

    // PartiallyConstrained: the number itself, read back without sign
    // extension; from 2^31 on (unsigned) all four octets.
    const struct {
        std::uint32_t value;
        std::vector<char> bytes;
    } partials[] = {
        {200, octets({0x02, 0x00, 0xC8})},
        {2147483647u, octets({0x04, 0x7F, 0xFF, 0xFF, 0xFF})},
        {2147483648u, octets({0x04, 0x80, 0x00, 0x00, 0x00})},
        {0xFF800000u, octets({0x04, 0xFF, 0x80, 0x00, 0x00})},
        {4294967040u, octets({0x04, 0xFF, 0xFF, 0xFF, 0x00})},
        {4294967295u, octets({0x04, 0xFF, 0xFF, 0xFF, 0xFF})},
    };
    for (const auto& c : partials) {
        EXPECT_EQ(hex(per(INTEGER(static_cast<std::int32_t>(c.value), &partialInfo))), hex(c.bytes)) << c.value;
        INTEGER back(&partialInfo);
        ASSERT_TRUE(unper(c.bytes, back)) << c.value;
        EXPECT_EQ(back.getUnsignedValue(), c.value);
    }
    // Under a negative lower limit no octets read back as a negative number.
    bool ok = true;
    per(INTEGER(-1, &partialSignedInfo), &ok);
    EXPECT_FALSE(ok);
    INTEGER partialSigned(&partialSignedInfo);
    EXPECT_FALSE(unper(octets({0x04, 0xFF, 0xFF, 0xFF, 0xFF}), partialSigned));

    // ExtendableConstraint: a bit, then the root or the unbounded form; the
    // unbounded form is sign-extended.
    EXPECT_EQ(hex(per(INTEGER(5, &extendableInfo))), hex(octets({0x50})));
    EXPECT_EQ(hex(per(INTEGER(9, &extendableInfo))), hex(octets({0x80, 0x01, 0x09})));
    const std::vector<char> negative = per(INTEGER(-3, &extendableInfo));
    EXPECT_EQ(hex(negative), hex(octets({0x80, 0x01, 0xFD})));
    INTEGER extBack(&extendableInfo);
    ASSERT_TRUE(unper(negative, extBack));
    EXPECT_EQ(extBack.getValue(), -3);
}

TEST(PERLength, UnboundedFormsAndLimits)
{
    const struct {
        std::size_t size;
        std::vector<char> head;
    } cases[] = {
        {127, octets({0x7F})}, {128, octets({0x80, 0x80})}, {200, octets({0x80, 0xC8})},
        {9000, octets({0xA3, 0x28})}, {16383, octets({0xBF, 0xFF})},
    };
    for (const auto& c : cases) {
        OCTET_STRING value(c.size, 'x');
        const std::vector<char> bytes = per(value);
        ASSERT_EQ(bytes.size(), c.head.size() + c.size);
        EXPECT_EQ(hex(std::vector<char>(bytes.begin(), bytes.begin() + c.head.size())), hex(c.head));
        OCTET_STRING back;
        ASSERT_TRUE(unper(bytes, back));
        EXPECT_EQ(back.compare(value), 0);
    }
    bool ok = true;
    per(OCTET_STRING(16384, 'x'), &ok);
    EXPECT_FALSE(ok);
    OCTET_STRING fragmented;
    EXPECT_FALSE(unper(octets({0xC1, 0x00}), fragmented));

    std::vector<char> buffer;
    PEREncoder enc(buffer);
    EXPECT_TRUE(enc.encodeLength(16383, 0, NoUpperLimit));
    const std::size_t before = buffer.size();
    EXPECT_FALSE(enc.encodeLength(16384, 0, NoUpperLimit));
    EXPECT_EQ(buffer.size(), before);
    EXPECT_FALSE(enc.encodeLength(3, 4, 10));
}

TEST(PERBitWriter, MultiBitThenSingleBit)
{
    std::vector<char> buffer;
    PEREncoder enc(buffer);
    enc.encodeMultiBit(5, 3);
    EXPECT_EQ(hex(buffer), hex(octets({0xA0})));
    EXPECT_EQ(enc.getBitOffset(), 5u);
    enc.encodeSingleBit(true);
    EXPECT_EQ(hex(buffer), hex(octets({0xB0})));
    enc.encodeMultiBit(0x1FF, 9);      // runs into the next octet
    EXPECT_EQ(hex(buffer), hex(octets({0xBF, 0xF8})));

    const std::vector<char> input = octets({0xB1, 0x80});
    PERDecoder dec(input.data(), input.data() + input.size(), nullptr);
    std::uint32_t v = 0;
    ASSERT_TRUE(dec.decodeMultiBit(3, v));
    EXPECT_EQ(v, 5u);
    EXPECT_EQ(dec.getBitsLeft(), 13u);
    ASSERT_TRUE(dec.decodeMultiBit(6, v));
    EXPECT_EQ(v, 0x23u);
    EXPECT_FALSE(dec.decodeMultiBit(8, v));     // 7 bits left
    EXPECT_FALSE(dec.decodeMultiBit(33, v));
}

TEST(PEREnumerated, DeclaredValueAndExtensions)
{
    EXPECT_EQ(hex(perOf<Demo::ErrorCause>(Demo::ErrorCause::internal)), hex(octets({0x28})));  // 0 0101
    const std::vector<char> twenty = octets({0x95, 0xA0});  // 1, 0 010101, 10100
    Demo::ErrorCause cause;
    cause.ENUMERATED::setValue(20);
    EXPECT_EQ(hex(per(cause)), hex(twenty));
    Demo::ErrorCause back;
    ASSERT_TRUE(unper(twenty, back));
    EXPECT_EQ(back.ENUMERATED::getValue(), 20);

    // Sparse, not extensible: 7 bits for a maximum of 123.
    EXPECT_EQ(hex(perOf<Demo::Payload>(Demo::Payload::ptG728)), hex(octets({0x1A})));
    Demo::Payload payload;
    ASSERT_TRUE(unper(octets({0xF6}), payload));
    EXPECT_EQ(payload.getValue(), Demo::Payload::ptR2S);
    bool ok = true;
    payload.ENUMERATED::setValue(124);
    per(payload, &ok);
    EXPECT_FALSE(ok);
    cause.ENUMERATED::setValue(-1);
    per(cause, &ok);
    EXPECT_FALSE(ok);
    // An extension bit with a normally small number of 0 fails, and so does
    // an addition of 2^31, which a value cannot hold.
    EXPECT_FALSE(unper(octets({0x80, 0x00}), back));
    EXPECT_FALSE(unper(octets({0xC0, 0x04, 0x80, 0x00, 0x00, 0x01, 0xC0, 0x80, 0x00, 0x00, 0x00}), back));
}

TEST(PERStrings, LayoutsByConstraint)
{
    AbstractString sized(&sizedIA5Info, "ab");
    EXPECT_EQ(hex(per(sized)), hex(octets({0x04, 0x61, 0x62})));
    bool ok = true;
    per(AbstractString(&sizedIA5Info, ""), &ok);
    EXPECT_FALSE(ok);       // below SIZE(1..64)

    // NumericString: positions in 4 bits, aligned after the length.
    NumericString digits("1 2");
    EXPECT_EQ(hex(per(digits)), hex(octets({0x03, 0x20, 0x30})));
    per(NumericString("1a"), &ok);
    EXPECT_FALSE(ok);
    NumericString numBack;
    ASSERT_TRUE(unper(octets({0x03, 0x20, 0x30}), numBack));
    EXPECT_EQ(static_cast<const std::string&>(numBack), "1 2");
    EXPECT_FALSE(unper(octets({0x01, 0xB0}), numBack));      // position 11

    // 1 or 2 octets follow a short length without alignment.
    OCTET_STRING pair(&shortOctetsInfo);
    pair = octets({0xAB, 0xCD});
    EXPECT_EQ(hex(per(pair)), hex(octets({0x55, 0x79, 0xA0})));
    OCTET_STRING pairBack(&shortOctetsInfo);
    ASSERT_TRUE(unper(octets({0x55, 0x79, 0xA0}), pairBack));
    EXPECT_EQ(pairBack.compare(pair), 0);

    // BIT STRING of 20 bits: whole octets; the next field starts a new octet.
    SEQUENCE seq(&bitsFlagInfo);
    BIT_STRING& bits = static_cast<BIT_STRING&>(*seq.fields[0]);
    bits.resize(20);
    bits.set(0);
    bits.set(19);
    static_cast<BOOLEAN&>(*seq.fields[1]).setValue(true);
    const std::vector<char> bytes = per(seq);
    EXPECT_EQ(hex(bytes), hex(octets({0x14, 0x80, 0x00, 0x10, 0x80})));
    SEQUENCE seqBack(&bitsFlagInfo);
    ASSERT_TRUE(unper(bytes, seqBack));
    EXPECT_EQ(seqBack.compare(seq), 0);

    OBJECT_IDENTIFIER oid;
    oid.arcs = {1, 2, 840, 113549};
    EXPECT_EQ(hex(per(oid)), hex(octets({0x06, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D})));
    OBJECT_IDENTIFIER oidBack;
    ASSERT_TRUE(unper(per(oid), oidBack));
    EXPECT_EQ(oidBack.compare(oid), 0);
    EXPECT_FALSE(unper(octets({0x02, 0x2A, 0x86}), oidBack));     // cut-off sub-identifier
    EXPECT_FALSE(unper(octets({0x03, 0x2A, 0x01}), oidBack));     // runs past the input

    GeneralizedTime time(2026, 12, 7, 9, 30, 0, 0, 0, true);
    GeneralizedTime timeBack;
    ASSERT_TRUE(unper(per(time), timeBack));
    EXPECT_EQ(timeBack.compare(time), 0);

    BMPString wide(L"A\x0416");
    EXPECT_EQ(hex(per(wide)), hex(octets({0x02, 0x00, 0x41, 0x04, 0x16})));
    BMPString wideBack;
    ASSERT_TRUE(unper(per(wide), wideBack));
    EXPECT_EQ(wideBack.compare(wide), 0);
    per(BMPString(std::wstring(1, static_cast<wchar_t>(0x10041))), &ok);
    EXPECT_FALSE(ok);       // beyond 16 bits
}

TEST(PERChoice, ExtensionsAndSelections)
{
    Demo::TonecCode code;
    code.set_dtmfDone();
    const std::vector<char> bytes = per(code);
    EXPECT_EQ(hex(bytes), hex(octets({0x80, 0x01, 0x00})));  // bit 1, seven zeros, open type
    Demo::TonecCode back;
    ASSERT_TRUE(unper(bytes, back));
    EXPECT_EQ(back.currentSelection(), Demo::TonecCode::dtmfDone_chosen);

    // An extension alternative the schema does not list fails, also one whose
    // index would wrap onto a root alternative (6 + 2^32 - 1).
    EXPECT_FALSE(unper(octets({0x81, 0x01, 0x00}), back));
    EXPECT_EQ(back.currentSelection(), CHOICE::unknownSelection_);
    EXPECT_FALSE(unper(octets({0xC0, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00}), back));
    // A root index beyond the root alternatives fails (PDU: 2 bits, 3 alternatives).
    Demo::PDU pdu;
    EXPECT_FALSE(unper(octets({0xC0}), pdu));
    EXPECT_FALSE(unper({}, pdu));

    // Decoding into the same alternative reuses its value object.
    Demo::Signal signal;
    signal.set_deactivated(Demo::DeactivateCause::networkError);
    const AbstractData* before = signal.getSelection();
    ASSERT_TRUE(unper(octets({0x19}), signal));   // 0, 00110, 0, 1
    EXPECT_EQ(signal.getSelection(), before);
    EXPECT_EQ(signal.get_deactivated().getValue(), Demo::DeactivateCause::otherError);

    // Unencodable selections.
    bool ok = true;
    per(Demo::PDU(), &ok);
    EXPECT_FALSE(ok);
    Demo::Response response;
    response.setSelection(2, new Null);     // outside a non-extensible CHOICE
    per(response, &ok);
    EXPECT_FALSE(ok);
    Demo::TonecCode unknown;
    unknown.setSelection(7, new Null);      // beyond the known alternatives
    per(unknown, &ok);
    EXPECT_FALSE(ok);
    Demo::Response empty;
    empty.setSelection(1, nullptr);         // root alternative without a value
    per(empty, &ok);
    EXPECT_FALSE(ok);
}

TEST(PERSequence, KnownAndUnknownExtensions)
{
    Demo::Extended ext;
    ext.set_a(3);
    EXPECT_EQ(hex(per(ext)), hex(octets({0x18})));          // 0, 0, 011, padding
    ext.includeOptionalField(Demo::Extended::e_c, 2);
    ext.set_c("hi");
    const std::vector<char> withC = per(ext);
    EXPECT_EQ(hex(withC), hex(octets({0x98, 0x08, 0x03, 0x02, 0x68, 0x69})));
    ext.removeOptionalField(Demo::Extended::e_c);
    EXPECT_EQ(hex(per(ext)), hex(octets({0x18})));          // as if never included

    Demo::Extended back;
    ASSERT_TRUE(unper(withC, back));
    EXPECT_EQ(static_cast<const std::string&>(back.get_c()), "hi");
    EXPECT_FALSE(back.hasOptionalField(Demo::Extended::e_d));

    // Unknown to a reader without the additions: skipped, also at the very end.
    SEQUENCE old(&extendedRootInfo);
    ASSERT_TRUE(unper(withC, old));
    EXPECT_EQ(static_cast<INTEGER&>(*old.fields[0]).getValue(), 3);
    EXPECT_FALSE(unper(std::vector<char>(withC.begin(), withC.end() - 1), old));
    // Re-encoding leaves out the presence bits of the unknown additions.
    EXPECT_EQ(hex(per(old)), hex(octets({0x18})));

    // A known addition shorter than its open type continues after the full length.
    const std::vector<char> padded = octets({0x98, 0x1C, 0x04, 0x02, 0x68, 0x69, 0x00, 0x01, 0x1A});
    ASSERT_TRUE(unper(padded, back));
    EXPECT_EQ(back.get_d().getValue(), Demo::Payload::ptG728);

    // A reused value forgets the additions of the previous decode.
    ASSERT_TRUE(unper(octets({0x18}), back));
    EXPECT_EQ(back.extensionMap.size(), 0u);
    EXPECT_FALSE(back.hasOptionalField(Demo::Extended::e_c));

    // An addition that encodes to nothing travels as the open type 0x00.
    SEQUENCE nullExt(&nullExtInfo);
    nullExt.includeOptionalField(0, 1);
    const std::vector<char> nullBytes = per(nullExt);
    EXPECT_EQ(hex(nullBytes), hex(octets({0x80, 0x40, 0x01, 0x00})));
    SEQUENCE nullBack(&nullExtInfo);
    ASSERT_TRUE(unper(nullBytes, nullBack));
    EXPECT_TRUE(nullBack.hasOptionalField(0));

    // Extension maps of 128 bits pass, 129 fail (normally small 127 and 128).
    std::vector<char> map128 = octets({0xE0, 0x01, 0x7F});
    map128.resize(map128.size() + 16, 0);
    EXPECT_TRUE(unper(map128, nullBack));
    EXPECT_EQ(nullBack.extensionMap.size(), 128u);
    map128[2] = static_cast<char>(0x80);
    map128.push_back(0);
    EXPECT_FALSE(unper(map128, nullBack));
    // A count of 2^32 - 1 does not wrap to an empty map.
    EXPECT_FALSE(unper(octets({0xE0, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}), nullBack));
}

TEST(PERSequenceOf, ElementLimit)
{
    SEQUENCE_OF<BOOLEAN> list;
    for (int i = 0; i < 128; ++i)
        list.push_back(BOOLEAN(i % 3 == 0));
    const std::vector<char> bytes = per(list);
    ASSERT_EQ(bytes.size(), 2u + 16u);
    SEQUENCE_OF<BOOLEAN> back;
    ASSERT_TRUE(unper(bytes, back));
    EXPECT_EQ(back.compare(list), 0);

    list.push_back(BOOLEAN(true));
    const std::vector<char> tooMany = per(list);    // the encoder has no limit
    ASSERT_EQ(hex(std::vector<char>(tooMany.begin(), tooMany.begin() + 2)), hex(octets({0x80, 0x81})));
    SEQUENCE_OF<BOOLEAN> rejected;
    EXPECT_FALSE(unper(tooMany, rejected));
    EXPECT_TRUE(rejected.empty());

    // A failing element and those after it are removed.
    Demo::Digits digits;
    EXPECT_FALSE(unper(octets({0x03, 0x01, 0x05, 0x00}), digits));
    EXPECT_LE(digits.get_list().size(), 1u);
}

TEST(PERDecoderBounds, EveryPrefixFailsOrStaysInside)
{
    Demo::Extended ext;
    ext.set_a(6);
    ext.includeOptionalField(Demo::Extended::e_b, 1);
    ext.includeOptionalField(Demo::Extended::e_c, 2);
    ext.set_c(std::string(130, 'q'));
    ext.includeOptionalField(Demo::Extended::e_d, 3);
    ext.set_d(Demo::Payload::ptR2S);

    Demo::Digits digits;
    for (int i = 0; i < 3; ++i) {
        Demo::TonecEvent event;
        event.set_timestamp(1000 * i - 1);
        event.get_event().set_dtmf(i);
        digits.get_list().push_back(event);
    }
    Demo::Message number;
    number.get_pdu().set_signal().set_number("0123456789");

    const std::vector<std::vector<char>> encodings = {
        per(successMessage()), per(deactivatedMessage()), per(connectMessage()),
        per(ext), per(digits), per(number)};
    for (const std::vector<char>& full : encodings) {
        for (std::size_t n = 0; n < full.size(); ++n) {
            std::vector<char> prefix(full.begin(), full.begin() + n);
            Demo::Message msg;
            Demo::Extended e;
            Demo::Digits d;
            unper(prefix, msg);     // must not read outside; the result may go either way
            unper(prefix, e);
            unper(prefix, d);
        }
    }
    // Prefixes that cut a field off fail.
    const std::vector<char> connect = per(connectMessage());
    for (std::size_t n = 0; n < connect.size(); ++n) {
        Demo::Message msg;
        EXPECT_FALSE(unper(std::vector<char>(connect.begin(), connect.begin() + n), msg)) << n;
    }
    Demo::Extended back;
    ASSERT_TRUE(unper(per(ext), back));
    EXPECT_EQ(back.compare(ext), 0);
    Demo::Digits digitsBack;
    ASSERT_TRUE(unper(per(digits), digitsBack));
    EXPECT_EQ(digitsBack.compare(digits), 0);
}

TEST(CoderEnv, EntryPoints)
{
    std::vector<char> out = octets({0x11});
    CoderEnv rule3(3);
    EXPECT_FALSE(encode(successMessage(), &rule3, std::back_inserter(out)));
    EXPECT_EQ(hex(out), hex(octets({0x11})));

    // A half-written encoding never reaches the caller.
    Demo::Message bad = successMessage();
    bad.set_slot(1024);
    CoderEnv env;
    EXPECT_FALSE(encode(bad, &env, std::back_inserter(out)));
    EXPECT_EQ(hex(out), hex(octets({0x11})));
    EXPECT_TRUE(encode(successMessage(), &env, std::back_inserter(out)));
    EXPECT_EQ(hex(out), hex(octets({0x11, 0xC0, 0x01, 0x01, 0x00, 0x05, 0x40})));

    CoderEnv avn(CoderEnv::avn_encoding);
    std::vector<char> text;
    ASSERT_TRUE(encode(deactivatedMessage(), &avn, std::back_inserter(text)));
    EXPECT_EQ(std::string(text.begin(), text.end()), "{\n  slot 3,\n  pdu signal : deactivated : otherError\n}");

    Demo::Message msg;
    EXPECT_FALSE(decode(nullptr, nullptr, &env, msg, true));
    const std::vector<char> bytes = per(connectMessage());
    Demo::Message deferred;
    Demo::Message direct;
    EXPECT_TRUE(unper(bytes, deferred, true));
    EXPECT_TRUE(unper(bytes, direct, false));
    EXPECT_EQ(deferred.compare(direct), 0);
    CoderEnv unknown(7);
    EXPECT_FALSE(decode(bytes.data(), bytes.data() + bytes.size(), &unknown, msg, true));
}

TEST(PEROpenData, RawOctetsAndRevisit)
{
    OpenData open(new Fixed<0, 1023>(5u));
    const std::vector<char> bytes = per(open);
    EXPECT_EQ(hex(bytes), hex(octets({0x02, 0x00, 0x05})));

    OpenData raw;
    ASSERT_TRUE(unper(bytes, raw));
    ASSERT_TRUE(raw.has_buf());
    EXPECT_EQ(hex(raw.get_buf()), hex(octets({0x00, 0x05})));
    raw.grab(new Fixed<0, 1023>());
    PERDecoder dec(nullptr, nullptr, nullptr);
    ASSERT_TRUE(dec.do_revisit(raw));
    EXPECT_EQ(raw.compare(open), 0);
}

TEST(PERRoundTrip, BoundaryAndRandomValuesOfEveryNumberForm)
{
    const std::int32_t most = INT_MAX;
    const ConstrainedObject::InfoType forms[] = {
        INTEGER::theInfo, partialInfo, partialSignedInfo,
        {{&INTEGER::create, 2}, PartiallyConstrained, 5, NoUpperLimit},
        extendableInfo, {{&INTEGER::create, 2}, ExtendableConstraint, -5, 5}, code21Info,
        {{&INTEGER::create, 2}, FixedConstraint, -1000, 1000},
        {{&INTEGER::create, 2}, FixedConstraint, 0, 65536},
        {{&INTEGER::create, 2}, FixedConstraint, 100000, 16777315},
        {{&INTEGER::create, 2}, FixedConstraint, 0, 4294967295u},
        {{&INTEGER::create, 2}, FixedConstraint, -most - 1, static_cast<std::uint32_t>(most)},
    };
    // Where the octet counts change, each with its neighbours, also negated.
    std::vector<std::uint32_t> common;
    for (std::uint32_t p : {0u, 1u << 7, 1u << 8, 1u << 15, 1u << 16, 1u << 23, 1u << 24, 1u << 31, 4294967295u}) {
        for (std::uint32_t v : {p - 1, p, p + 1})
            common.insert(common.end(), {v, 0u - v});
    }
    std::mt19937 random(20261207);      // fully specified: the same values on every platform
    for (const ConstrainedObject::InfoType& form : forms) {
        const std::uint32_t lb = static_cast<std::uint32_t>(form.lowerLimit);
        const std::uint32_t ub = form.upperLimit;
        const bool isSigned = form.lowerLimit < 0;
        std::vector<std::uint32_t> values = common;
        values.insert(values.end(), {lb - 1, lb, lb + 1, ub - 1, ub, ub + 1});
        for (int i = 0; i < 100; ++i) {
            std::uint32_t v = random();
            const std::uint32_t range = ub - lb + 1;
            if (form.type == FixedConstraint && range != 0)
                v = lb + v % range;
            else if (i % 2 == 0)
                v >>= random() % 32;    // short numbers too
            values.push_back(v);
        }
        for (std::uint32_t v : values) {
            const std::int32_t s = static_cast<std::int32_t>(v);
            // Fixed limits bound the value; the partial form is read back
            // unsigned, so it has no negative numbers. BER takes them all.
            bool encodable = !(form.type == PartiallyConstrained && isSigned && s < 0);
            if (form.type == FixedConstraint)
                encodable = isSigned ? s >= form.lowerLimit && s <= static_cast<std::int32_t>(ub) : v >= lb && v <= ub;
            for (std::int32_t rule : {CoderEnv::per_encoding, CoderEnv::ber_encoding}) {
                const INTEGER value(s, &form);
                bool ok = false;
                const std::vector<char> bytes = per(value, &ok, rule);
                ASSERT_EQ(ok, encodable || rule == CoderEnv::ber_encoding) << rule << ": " << v << " in " << form.lowerLimit;
                if (!ok)
                    continue;
                INTEGER back(&form);
                ASSERT_TRUE(unper(bytes, back, true, rule)) << rule << ": " << v << ": " << hex(bytes);
                EXPECT_EQ(back.getUnsignedValue(), v) << rule << ": " << hex(bytes);
            }
        }
    }
    for (int i = 0; i < 200; ++i) {
        Demo::ErrorCause cause;
        cause.ENUMERATED::setValue(static_cast<std::int32_t>(random() >> (1 + random() % 31)));
        Demo::ErrorCause back;
        ASSERT_TRUE(unper(per(cause), back)) << cause.ENUMERATED::getValue();
        EXPECT_EQ(back.compare(cause), 0);
    }
}

TEST(PERDecoderBounds, RandomInputNeverReadsOutside)
{
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        std::vector<char> input(random() % 24);
        for (char& c : input)
            c = static_cast<char>(random());
        Demo::Message msg;
        Demo::Extended ext;
        Demo::Digits digits;
        unper(input, msg);      // any result; the sanitizers watch the reads
        unper(input, ext);
        unper(input, digits);
    }
}

TEST(CoderEnv, RemembersWhereADecodeFailed)
{
    // The signal's number ends after one of its three characters.
    Demo::Message number;
    number.get_pdu().set_signal().set_number("123");
    std::vector<char> bytes = per(number);
    bytes.resize(bytes.size() - 2);
    CoderEnv env;
    Demo::Message msg;
    ASSERT_FALSE(decode(bytes.data(), bytes.data() + bytes.size(), &env, msg, true));
    EXPECT_EQ(env.decodeFailurePath, "pdu.signal.number");
    EXPECT_EQ(env.decodeFailureBit, 8 * bytes.size());

    Demo::Digits digits;
    bytes = octets({0x00, 0x01, 0x01, 0x05});    // one event: its timestamp, then nothing
    ASSERT_FALSE(decode(bytes.data(), bytes.data() + bytes.size(), &env, digits, true));
    EXPECT_EQ(env.decodeFailurePath, "list.element.event");
}
