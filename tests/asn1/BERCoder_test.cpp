#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "Octets.h"
#include "TestSchema.h"
#include "asn1/BERDecoder.h"
#include "asn1/BEREncoder.h"

using namespace ASN1;

namespace {

std::vector<char> ber(const AbstractData& value, bool* ok = nullptr)
{
    return per(value, ok, CoderEnv::ber_encoding);
}

bool unber(const std::vector<char>& input, AbstractData& value)
{
    return unper(input, value, true, CoderEnv::ber_encoding);
}

void expectRoundTrip(const AbstractData& value)
{
    const std::vector<char> bytes = ber(value);
    std::unique_ptr<AbstractData> copy(value.info()->create(value.info()));
    ASSERT_TRUE(unber(bytes, *copy)) << hex(bytes);
    EXPECT_EQ(copy->compare(value), 0) << hex(bytes) << "\n" << value.asValueNotation();
}

Demo::Message pingAnswer()
{
    Demo::Message msg;
    msg.includeOptionalField(Demo::Message::e_seq, 0);
    msg.set_seq(7);
    msg.get_pdu().set_response().set_success();
    return msg;
}

} // namespace

TEST(BEREncoder, PrimitiveContents)
{
    EXPECT_EQ(hex(ber(BOOLEAN(true))), hex(octets({0x01, 0x01, 0xFF})));
    EXPECT_EQ(hex(ber(BOOLEAN(false))), hex(octets({0x01, 0x01, 0x00})));
    EXPECT_EQ(hex(ber(Null())), hex(octets({0x05, 0x00})));
    const struct {
        std::int32_t value;
        std::vector<char> bytes;
    } integers[] = {
        {0, octets({0x02, 0x01, 0x00})},
        {127, octets({0x02, 0x01, 0x7F})},
        {128, octets({0x02, 0x02, 0x00, 0x80})},
        {-1, octets({0x02, 0x01, 0xFF})},
        {-128, octets({0x02, 0x01, 0x80})},
        {-129, octets({0x02, 0x02, 0xFF, 0x7F})},
        {65536, octets({0x02, 0x03, 0x01, 0x00, 0x00})},
        {-2147483647 - 1, octets({0x02, 0x04, 0x80, 0x00, 0x00, 0x00})},
    };
    for (const auto& c : integers)
        EXPECT_EQ(hex(ber(INTEGER(c.value, &INTEGER::theInfo))), hex(c.bytes)) << c.value;
    EXPECT_EQ(hex(ber(INTEGER(-1, &Demo::wordInfo))), hex(octets({0x02, 0x01, 0xFF})));

    BIT_STRING bits;
    EXPECT_EQ(hex(ber(bits)), hex(octets({0x03, 0x01, 0x00})));
    bits.resize(8);
    bits.set(0);
    EXPECT_EQ(hex(ber(bits)), hex(octets({0x03, 0x02, 0x00, 0x80})));
    bits.resize(10);
    bits.set(9);
    EXPECT_EQ(hex(ber(bits)), hex(octets({0x03, 0x03, 0x06, 0x80, 0x40})));

    OCTET_STRING longString(256, 'a');
    const std::vector<char> bytes = ber(longString);
    ASSERT_EQ(bytes.size(), 260u);
    EXPECT_EQ(hex(std::vector<char>(bytes.begin(), bytes.begin() + 4)), hex(octets({0x04, 0x82, 0x01, 0x00})));
    EXPECT_EQ(getDataLength(longString), 256u);
    EXPECT_EQ(getObjectLength(longString, OwnTag), 260u);
    EXPECT_EQ(hex(ber(OCTET_STRING(128, 'a'))).substr(0, 9), "04 81 80 ");

    EXPECT_EQ(hex(ber(IA5String("ab"))), hex(octets({0x16, 0x02, 'a', 'b'})));
    EXPECT_EQ(hex(ber(BMPString(L"a\x0416"))), hex(octets({0x1E, 0x04, 0x00, 'a', 0x04, 0x16})));
    bool ok = true;
    ber(BMPString(std::wstring(1, static_cast<wchar_t>(0x10041))), &ok);
    EXPECT_FALSE(ok);       // beyond 16 bits
    OBJECT_IDENTIFIER oid;
    oid.arcs = {1, 2, 840};
    EXPECT_EQ(hex(ber(oid)), hex(octets({0x06, 0x03, 0x2A, 0x86, 0x48})));
    EXPECT_EQ(hex(ber(GeneralizedTime(2026, 1, 2, 3, 4, 5, 0, 0, true))).substr(0, 6), "18 0F ");
}

TEST(BEREncoder, ConstructedAndTagged)
{
    // Fields and alternatives carry [i]; a tagged CHOICE wraps its alternative.
    EXPECT_EQ(hex(ber(pingAnswer())),
              hex(octets({0x30, 0x09, 0x80, 0x01, 0x07, 0xA2, 0x04, 0xA1, 0x02, 0x80, 0x00})));
    // An untagged CHOICE writes no header of its own.
    Demo::Response response;
    response.set_error(Demo::ErrorCause::busError);
    EXPECT_EQ(hex(ber(response)), hex(octets({0x81, 0x01, 0x0A})));

    Demo::Digits digits;
    Demo::TonecEvent event;
    event.set_timestamp(1);
    event.get_event().set_ced();
    digits.get_list().push_back(event);
    EXPECT_EQ(hex(ber(digits)),
              hex(octets({0x30, 0x0B, 0xA0, 0x09, 0x30, 0x07, 0x80, 0x01, 0x01, 0xA1, 0x02, 0x82, 0x00})));

    std::vector<char> out;
    BEREncoder header(out);
    header.encodeHeader(contextTag(31), true, 0);
    header.encodeHeader(contextTag(200), false, 1);
    header.encodeHeader(0x400000u | 5, false, 70000);
    EXPECT_EQ(hex(out), hex(octets({0xBF, 0x1F, 0x00, 0x9F, 0x81, 0x48, 0x01, 0x45, 0x83, 0x01, 0x11, 0x70})));

    // Nothing selected, and nothing appended.
    bool ok = true;
    EXPECT_TRUE(ber(Demo::Message(), &ok).empty());
    EXPECT_FALSE(ok);
    Demo::PDU pdu;
    pdu.choiceID = 3;
    pdu.choice = new Null;
    EXPECT_TRUE(ber(pdu, &ok).empty());
    EXPECT_FALSE(ok);
}

TEST(BERDecoder, RoundTrips)
{
    expectRoundTrip(pingAnswer());
    Demo::Message msg = pingAnswer();
    msg.includeOptionalField(Demo::Message::e_slot, 1);
    msg.set_slot(1023);
    Demo::TonecEvent& event = msg.get_pdu().set_signal().set_tonec();
    event.set_timestamp(-100000);
    event.get_event().set_dtmfDone();
    expectRoundTrip(msg);
    msg.get_pdu().get_signal().set_number(std::string(300, 'n'));
    expectRoundTrip(msg);
    msg.get_pdu().set_command().set_userData() = std::vector<char>{0, 1, 2};
    expectRoundTrip(msg);

    Demo::Extended ext;
    ext.set_a(5);
    expectRoundTrip(ext);
    ext.includeOptionalField(Demo::Extended::e_d, 3);
    ext.set_d(Demo::Payload::ptR2S);
    expectRoundTrip(ext);

    Demo::Digits digits;
    expectRoundTrip(digits);
    Demo::TonecEvent tone;
    tone.get_event().set_dtmf(4);
    digits.get_list().push_back(tone);
    digits.get_list().push_back(tone);
    digits.includeOptionalField(Demo::Digits::e_state_channel, 1);
    expectRoundTrip(digits);

    // ENUMERATED and INTEGER read sign-extended.
    Demo::ErrorCause cause;
    cause.ENUMERATED::setValue(-1);
    expectRoundTrip(cause);
    cause.ENUMERATED::setValue(200);
    expectRoundTrip(cause);
    expectRoundTrip(INTEGER(-1, &Demo::wordInfo));
    BIT_STRING bits;
    bits.resize(13);
    bits.set(12);
    expectRoundTrip(bits);
    expectRoundTrip(BMPString(L"\xFFFF"));
    expectRoundTrip(GeneralizedTime(2026, 12, 7, 9, 30, 5, 120, -30, false));

    std::mt19937 random(3);
    for (int i = 0; i < 200; ++i) {
        Demo::Message m;
        m.includeOptionalField(Demo::Message::e_seq, 0);
        m.set_seq(static_cast<std::int32_t>(random()));
        m.get_pdu().set_response().set_error(Demo::ErrorCause::internal);
        m.get_pdu().get_response().get_error().ENUMERATED::setValue(static_cast<std::int32_t>(random()));
        expectRoundTrip(m);
    }
}

TEST(BERDecoder, Failures)
{
    Demo::Message msg;
    // pdu is mandatory: the contents end before it.
    EXPECT_FALSE(unber(octets({0x30, 0x03, 0x80, 0x01, 0x07}), msg));
    // A mandatory field with another tag.
    EXPECT_FALSE(unber(octets({0x30, 0x05, 0x80, 0x01, 0x07, 0x85, 0x00}), msg));
    // Wrong own tag, lengths past the end, no content octets.
    EXPECT_FALSE(unber(octets({0x31, 0x00}), msg));
    INTEGER integer;
    EXPECT_FALSE(unber(octets({0x02, 0x00}), integer));
    EXPECT_FALSE(unber(octets({0x02, 0x05, 0, 0, 0, 0, 1}), integer));
    EXPECT_FALSE(unber(octets({0x02, 0x02, 0x01}), integer));
    EXPECT_FALSE(unber(octets({0x02, 0x85, 0, 0, 0, 0, 1}), integer));
    ASSERT_TRUE(unber(octets({0x02, 0x02, 0xFF, 0x7F}), integer));
    EXPECT_EQ(integer.getValue(), -129);
    BOOLEAN flag;
    ASSERT_TRUE(unber(octets({0x01, 0x02, 0x00, 0x01}), flag));
    EXPECT_TRUE(flag.getValue());
    BIT_STRING bits;
    EXPECT_FALSE(unber(octets({0x03, 0x00}), bits));
    EXPECT_FALSE(unber(octets({0x03, 0x02, 0x08, 0x00}), bits));
    BMPString wide;
    EXPECT_FALSE(unber(octets({0x1E, 0x01, 0x00}), wide));

    // An alternative the type does not have.
    Demo::PDU pdu;
    EXPECT_FALSE(unber(octets({0x85, 0x00}), pdu));
    EXPECT_EQ(pdu.currentSelection(), CHOICE::unknownSelection_);

    // A tagged CHOICE whose alternative overruns or underfills its wrapper.
    Demo::TonecEvent wrapped;
    EXPECT_FALSE(unber(octets({0x30, 0x08, 0x80, 0x01, 0x05, 0xA1, 0x01, 0x82, 0x00, 0x00}), wrapped));
    EXPECT_FALSE(unber(octets({0x30, 0x08, 0x80, 0x01, 0x05, 0xA1, 0x03, 0x82, 0x00, 0x00}), wrapped));

    // Unknown trailing components are skipped; a truncated field is not.
    Demo::TonecEvent event;
    ASSERT_TRUE(unber(octets({0x30, 0x09, 0x80, 0x01, 0x05, 0xA1, 0x02, 0x82, 0x00, 0x87, 0x00}), event));
    EXPECT_EQ(event.get_timestamp().getValue(), 5);
    EXPECT_FALSE(unber(octets({0x30, 0x06, 0x80, 0x01, 0x05, 0xA1, 0x02, 0x82}), event));

    // Every prefix of a good encoding fails without reading outside it.
    Demo::Message good = pingAnswer();
    const std::vector<char> bytes = ber(good);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        Demo::Message m;
        EXPECT_FALSE(unber(std::vector<char>(bytes.begin(), bytes.begin() + n), m)) << n;
    }
}

TEST(BERDecoder, OpenTypesKeepTheirOctets)
{
    OpenData open(new INTEGER(300, &INTEGER::theInfo));
    const std::vector<char> bytes = ber(open);
    EXPECT_EQ(hex(bytes), hex(octets({0x00, 0x04, 0x02, 0x02, 0x01, 0x2C})));
    OpenData raw;
    ASSERT_TRUE(unber(bytes, raw));
    ASSERT_TRUE(raw.has_buf());
    EXPECT_EQ(hex(raw.get_buf()), hex(octets({0x02, 0x02, 0x01, 0x2C})));
    raw.grab(new INTEGER);
    BERDecoder decoder(nullptr, nullptr, nullptr);
    ASSERT_TRUE(decoder.do_revisit(raw));
    EXPECT_EQ(raw.get_data().compare(INTEGER(300, &INTEGER::theInfo)), 0);
    EXPECT_TRUE(ber(raw).size() == bytes.size());
}
