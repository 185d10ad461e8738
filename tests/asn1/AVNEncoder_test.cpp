#include <gtest/gtest.h>

#include <clocale>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "TestSchema.h"
#include "asn1/AVNEncoder.h"

using namespace ASN1;

namespace {

std::string text(const AbstractData& value)
{
    std::ostringstream strm;
    strm << value;
    EXPECT_TRUE(strm.good());
    return strm.str();
}

// SEQUENCE { inner SEQUENCE { x INTEGER OPTIONAL }, list SEQUENCE OF INTEGER }
const AbstractData::InfoType* const innerFields[] = {&INTEGER::theInfo};
const std::int32_t innerIds[] = {0};
const char* const innerNames[] = {"x"};
const SEQUENCE::InfoType innerInfo = {
    {&SEQUENCE::create, 16}, false, innerFields, innerIds, 1, 0, 1, nullptr, nullptr, innerNames};
const AbstractData::InfoType* const outerFields[] = {&innerInfo, &SEQUENCE_OF<INTEGER>::theInfo};
const std::int32_t outerIds[] = {-1, -1};
const char* const outerNames[] = {"inner", "list"};
const SEQUENCE::InfoType outerInfo = {
    {&SEQUENCE::create, 16}, false, outerFields, outerIds, 2, 0, 0, nullptr, nullptr, outerNames};

} // namespace

TEST(AVNEncoder, WorkedExampleLineForLine)
{
    Demo::Message msg = Demo::toneMessage();
    EXPECT_EQ(text(msg),
              "{\n"
              "  seq 7,\n"
              "  slot 12,\n"
              "  pdu signal : tonec : {\n"
              "    timestamp 1000,\n"
              "    event dtmf : 5\n"
              "  }\n"
              "}");
    EXPECT_EQ(msg.asValueNotation(), text(msg));

    msg.removeOptionalField(Demo::Message::e_seq);
    EXPECT_EQ(text(msg).substr(0, 13), "{\n  slot 12,\n");
}

TEST(AVNEncoder, EnumerationNames)
{
    Demo::Payload payload;
    const struct {
        std::int32_t value;
        const char* text;
    } cases[] = {{123, "ptR2S=123"}, {13, "ptG728=13"}, {4, "ptG723"}, {1, "min=1"}, {14, "14"}, {0, "ptPCMU"}};
    for (const auto& c : cases) {
        payload.ENUMERATED::setValue(c.value);
        EXPECT_EQ(text(payload), c.text);
    }
    Demo::ErrorCause cause;
    cause.ENUMERATED::setValue(13);
    EXPECT_EQ(text(cause), "13");
    cause.ENUMERATED::setValue(-1);
    EXPECT_EQ(text(cause), "-1");
    cause = Demo::ErrorCause::destroyInProgress;
    EXPECT_EQ(text(cause), "destroyInProgress");
}

TEST(AVNEncoder, PrimitiveKinds)
{
    EXPECT_EQ(text(Null()), "NULL");
    EXPECT_EQ(text(BOOLEAN(true)), "TRUE");
    EXPECT_EQ(text(INTEGER(-1, &INTEGER::theInfo)), "-1");
    EXPECT_EQ(text(INTEGER(-1, &Demo::wordInfo)), "4294967295");

    OBJECT_IDENTIFIER oid;
    oid.arcs = {1, 2, 3};
    EXPECT_EQ(text(oid), "{ 1 2 3 }");
    BIT_STRING bits;
    bits.resize(5);
    bits.set(0);
    bits.set(3);
    EXPECT_EQ(text(bits), "'10010'B");
    EXPECT_EQ(text(IA5String("a \"b\"")), "\"a \"b\"\"");
    EXPECT_EQ(text(GeneralizedTime(2026, 12, 7, 9, 30, 5, 0, 0, true)), "\"20261207093005Z\"");

    // Octets in lower-case hex; numbers after them are decimal again.
    std::ostringstream strm;
    OCTET_STRING octets;
    octets = std::vector<char>{1, static_cast<char>(171), static_cast<char>(255)};
    strm << octets << ' ' << OCTET_STRING(1, 10) << ' ' << 255 << ' ' << OCTET_STRING();
    EXPECT_EQ(strm.str(), "'01 ab ff'H '0a'H 255 ''H");
    std::ostringstream padded;
    padded << OCTET_STRING(1, 10) << std::setw(4) << 7;
    EXPECT_EQ(padded.str(), "'0a'H   7");

    // Characters the C locale cannot write print as their codes.
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text(BMPString(L"ab")), "\"ab\"");
    EXPECT_EQ(text(BMPString(L"a\x0416")), "{{ 0, 0, 0, 97}, { 0, 0, 4, 22}}");
}

TEST(AVNEncoder, NestedAndEmptyLayouts)
{
    SEQUENCE outer(&outerInfo);
    EXPECT_EQ(text(outer), "{\n  inner {\n  },\n  list {\n  }\n}");

    SEQUENCE_OF_Base& list = static_cast<SEQUENCE_OF_Base&>(*outer.fields[1]);
    list.resize(1);
    EXPECT_EQ(text(outer), "{\n  inner {\n  },\n  list {\n    0\n  }\n}");
    list.resize(2);
    EXPECT_EQ(text(list), "{\n  0,\n  0\n}");

    Demo::Digits digits;
    Demo::TonecEvent event;
    event.set_timestamp(3);
    event.get_event().set_ced();
    digits.get_list().push_back(event);
    EXPECT_EQ(text(digits), "{\n  list {\n    {\n      timestamp 3,\n      event ced : NULL\n    }\n  }\n}");

    Demo::Extended ext;
    ext.includeOptionalField(Demo::Extended::e_d, 3);
    ext.set_d(Demo::Payload::ptGSM);
    EXPECT_EQ(text(ext), "{\n  a 0,\n  d ptGSM=3\n}");
}

TEST(AVNEncoder, UnprintableValues)
{
    // A fresh message stops at its unselected pdu: partial text and failbit.
    Demo::Message msg;
    std::ostringstream strm;
    strm << msg;
    EXPECT_TRUE(strm.fail());
    EXPECT_EQ(strm.str(), "{\n  pdu ");
    EXPECT_EQ(msg.print_on(strm), std::ios_base::failbit);
    EXPECT_EQ(msg.asValueNotation(), "{\n  pdu ");
    strm.clear();
    strm.str("");
    strm << OpenData();
    EXPECT_TRUE(strm.fail());

    // A failed stream is left untouched.
    std::ostringstream failed;
    failed.setstate(std::ios_base::failbit);
    failed << Null();
    EXPECT_EQ(failed.str(), "");

    // The process's log streams never stay in an error state.
    std::ostringstream captured;
    std::streambuf* saved = std::clog.rdbuf(captured.rdbuf());
    std::clog << "decoded " << msg << std::endl;
    const bool clogGood = std::clog.good();
    std::clog.rdbuf(saved);
    EXPECT_TRUE(clogGood);
    EXPECT_EQ(captured.str(), "decoded {\n  pdu \n");

    // An unknown alternative left by a decoder prints nothing of itself.
    Demo::Signal signal;
    signal.choiceID = CHOICE::unknownSelection_;
    std::ostringstream unknown;
    unknown << signal;
    EXPECT_TRUE(unknown.fail());
    EXPECT_EQ(unknown.str(), "");
}
