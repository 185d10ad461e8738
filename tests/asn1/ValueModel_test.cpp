#include <gtest/gtest.h>

#include <typeinfo>

#include "Octets.h"
#include "TestSchema.h"

using namespace ASN1;

namespace {

// SEQUENCE { x INTEGER OPTIONAL, y BOOLEAN OPTIONAL }
const AbstractData::InfoType* const pairFields[] = {&INTEGER::theInfo, &BOOLEAN::theInfo};
const std::int32_t pairIds[] = {0, 1};
const char* const pairNames[] = {"x", "y"};
const SEQUENCE::InfoType pairInfo = {
    {&SEQUENCE::create, 16}, false, pairFields, pairIds, 2, 0, 2, nullptr, nullptr, pairNames};

const char* const sparseNames[] = {"five=5", "six"};
const ENUMERATED::InfoType sparseInfo = {{&ENUMERATED::create, 10}, false, 6, sparseNames, 2};

const NameEntry namedEntries[] = {{-1, "minusOne"}, {3, "three"}, {40, "forty"}};
const IntegerWithNamedNumber::InfoType namedInfo = {
    {{&IntegerWithNamedNumber::create, 2}, Unconstrained, 0, NoUpperLimit}, namedEntries, 3};

// Counts the SEQUENCE hooks a read-only walk calls.
class HookCounter : public ConstVisitor {
public:
    bool preVisitExtensionRoots(const SEQUENCE&) override { ++roots; return true; }
    bool visitExtensionRoot(const SEQUENCE&, std::size_t) override { ++fields; return true; }
    bool preVisitExtensions(const SEQUENCE&) override { ++extensions; return true; }
    bool visitKnownExtension(const SEQUENCE&, std::size_t) override { ++known; return true; }
    int roots = 0, fields = 0, extensions = 0, known = 0;
};

} // namespace

TEST(ValueModel, CountBitsAndByteComparison)
{
    const unsigned bits[][2] = {{1, 0}, {2, 1}, {3, 2}, {4, 2}, {256, 8}, {257, 9}, {0, 32}};
    for (const auto& b : bits)
        EXPECT_EQ(CountBits(b[0]), b[1]) << b[0];

    const OCTET_STRING ab(octets({0x61, 0x62}));
    const OCTET_STRING abc(octets({0x61, 0x62, 0x63}));
    const OCTET_STRING b(octets({0x62}));
    const OCTET_STRING high(octets({0xFF}));
    EXPECT_EQ(ab.compare(abc), -1);
    EXPECT_GT(b.compare(abc), 0);
    EXPECT_GT(high.compare(b), 0);      // octets compare as unsigned
    EXPECT_EQ(abc.compare(OCTET_STRING(octets({0x61, 0x62, 0x63}))), 0);

    EXPECT_LT(IA5String("ab").compare(IA5String("abc")), 0);
    EXPECT_GT(IA5String("b").compare(IA5String("abc")), 0);
    BIT_STRING one;
    one.resize(3);
    one.set(1);
    BIT_STRING other;
    other.resize(9);
    other.set(2);
    EXPECT_GT(one.compare(other), 0);   // holds the higher differing bit
    other.clear(2);
    other.set(1);
    EXPECT_LT(one.compare(other), 0);   // same octets, fewer bits
}

TEST(ValueModel, IntegerAndEnumeratedValues)
{
    EXPECT_LT(INTEGER(-1, &INTEGER::theInfo).compare(INTEGER(1, &INTEGER::theInfo)), 0);
    Constrained_INTEGER<FixedConstraint, 0, 4294967295u> big(4294967295u);
    EXPECT_GT(big.compare(Constrained_INTEGER<FixedConstraint, 0, 4294967295u>(1u)), 0);

    ENUMERATED sparse(&sparseInfo);
    EXPECT_EQ(sparse.getValue(), 0);        // 0 although no entry names it
    EXPECT_EQ(sparse.getName(), nullptr);
    sparse.setValue(6);
    EXPECT_STREQ(sparse.getName(), "six");

    Demo::ErrorCause a;
    Demo::ErrorCause b;
    b = Demo::ErrorCause::busError;
    a = b;
    EXPECT_EQ(a.getValue(), Demo::ErrorCause::busError);

    IntegerWithNamedNumber named(&namedInfo);
    std::string name;
    named.setValue(40);
    ASSERT_TRUE(named.getName(name));
    EXPECT_EQ(name, "forty");
    named.setValue(4);
    EXPECT_FALSE(named.getName(name));
    ASSERT_TRUE(named.setFromName("minusOne"));
    EXPECT_EQ(named.getValue(), -1);
    EXPECT_FALSE(named.setFromName("two"));
}

TEST(ValueModel, GeneralizedTimeText)
{
    GeneralizedTime t(2026, 12, 7, 9, 30, 5, 0, 0, true);
    EXPECT_EQ(t.get(), "20261207093005Z");
    t.utc = false;
    t.mindiff = 90;
    EXPECT_EQ(t.get(), "20261207093005+0130");
    t.mindiff = -120;
    t.millisec = 250;
    EXPECT_EQ(t.get(), "20261207093005.250-0200");

    GeneralizedTime back;
    ASSERT_TRUE(back.set(t.get().c_str()));
    EXPECT_EQ(back.compare(t), 0);
    ASSERT_TRUE(back.set("20261207093005.123Z"));
    EXPECT_EQ(back.millisec, 123);
    EXPECT_TRUE(back.utc);
    EXPECT_FALSE(back.set("2026120709"));      // too short: unchanged
    EXPECT_EQ(back.millisec, 123);

    GeneralizedTime epoch;
    epoch.set_time_t(86400 + 3661);
    EXPECT_EQ(epoch.get(), "19700102010101");
}

TEST(ValueModel, SequenceOptionalFields)
{
    Demo::Message msg;
    EXPECT_FALSE(msg.hasOptionalField(Demo::Message::e_seq));
    EXPECT_EQ(msg.getField(0), nullptr);
    ASSERT_NE(msg.getField(2), nullptr);
    EXPECT_EQ(typeid(*msg.getField(2)), typeid(Demo::PDU));

    msg.includeOptionalField(Demo::Message::e_seq, 0);
    msg.set_seq(42);
    const AbstractData* object = msg.getField(0);
    msg.removeOptionalField(Demo::Message::e_seq);
    EXPECT_FALSE(msg.hasOptionalField(Demo::Message::e_seq));
    msg.includeOptionalField(Demo::Message::e_seq, 0);
    EXPECT_EQ(msg.getField(0), object);
    EXPECT_EQ(msg.get_seq().getValue(), 42);

    Demo::Extended ext;
    ext.includeOptionalField(1 + 4, 6);
    EXPECT_EQ(ext.extensionMap.size(), 5u);
    for (std::uint32_t k = 0; k < 5; ++k)
        EXPECT_EQ(ext.extensionMap[k], k == 4) << k;
    EXPECT_TRUE(ext.hasOptionalField(5));
    EXPECT_FALSE(ext.hasOptionalField(40));

    SEQUENCE allOptional(&pairInfo);
    EXPECT_EQ(allOptional.getField(0), nullptr);
    EXPECT_EQ(allOptional.getField(1), nullptr);

    // Presence decides first, then the values; absent-in-both is skipped.
    SEQUENCE other(&pairInfo);
    allOptional.includeOptionalField(1, 1);
    EXPECT_GT(allOptional.compare(other), 0);
    other.includeOptionalField(1, 1);
    EXPECT_EQ(allOptional.compare(other), 0);
    static_cast<BOOLEAN&>(*other.fields[1]).setValue(true);
    EXPECT_LT(allOptional.compare(other), 0);

    SEQUENCE::BitMap map;
    map.resize(200);
    map.set(199);
    SEQUENCE::BitMap copy(map);
    map.resize(3);
    EXPECT_TRUE(copy[199]);
    EXPECT_FALSE(map.any());
    map.set(3);
    EXPECT_FALSE(map[3]);
}

TEST(ValueModel, CopiesAreDeepAndKeepTheirClass)
{
    Demo::Message msg;
    msg.get_pdu().set_signal().set_number("123");
    std::unique_ptr<AbstractData> clone(msg.clone());
    EXPECT_EQ(typeid(*clone), typeid(Demo::Message));
    EXPECT_EQ(clone->info(), &Demo::Message::theInfo);
    EXPECT_EQ(clone->compare(msg), 0);
    msg.get_pdu().get_signal().set_number("9");
    EXPECT_NE(clone->compare(msg), 0);

    // Decoded components are objects of the generated classes.
    Demo::Message decoded;
    ASSERT_TRUE(unper(octets({0x40, 0x00, 0x03, 0x86, 0x40}), decoded));
    EXPECT_EQ(typeid(decoded.get_pdu().get_signal().get_deactivated()), typeid(Demo::DeactivateCause));

    // CHOICE assignment: a clone of the value (or null) and the selection.
    Demo::Response empty;
    empty.setSelection(1, nullptr);
    Demo::Response target;
    target.set_success();
    target = empty;
    EXPECT_EQ(target.currentSelection(), 1);
    EXPECT_EQ(target.getSelection(), nullptr);
    Demo::Signal signal;
    signal.set_deactivated(Demo::DeactivateCause::otherError);
    Demo::PDU pdu;
    pdu.set_signal(signal);
    EXPECT_EQ(pdu.get_signal().get_deactivated().getValue(), Demo::DeactivateCause::otherError);
    EXPECT_EQ(pdu.get_signal().info(), &Demo::Signal::theInfo);
    target.choiceID = 9;
    EXPECT_FALSE(target.createSelection());
    EXPECT_EQ(target.currentSelection(), CHOICE::unknownSelection_);
    EXPECT_LT(target.compare(pdu.get_signal()), 0);

    // push_back stores a clone; the local element stays independent.
    Demo::Digits digits;
    Demo::TonecEvent event;
    event.set_timestamp(1);
    digits.get_list().push_back(event);
    event.set_timestamp(2);
    EXPECT_EQ(digits.get_list()[0].get_timestamp().getValue(), 1);
    digits.get_list().push_back(event);
    int sum = 0;
    for (Demo::TonecEvent& e : digits.get_list())
        sum += e.get_timestamp().getValue();
    EXPECT_EQ(sum, 3);
    Demo::Digits copy(digits);
    digits.get_list().erase(digits.get_list().begin());
    EXPECT_EQ(digits.get_list().size(), 1u);
    EXPECT_EQ(copy.get_list().size(), 2u);
    EXPECT_LT(copy.compare(digits), 0);     // element by element first: 1 < 2
    digits.get_list().resize(3);
    EXPECT_EQ(typeid(digits.get_list()[2]), typeid(Demo::TonecEvent));

    OpenData open(new Null);
    OpenData openCopy(open);
    EXPECT_TRUE(openCopy.has_data());
    EXPECT_GT(openCopy.compare(OpenData()), 0);
}

TEST(ValueModel, ConstWalkVisitsExtensionsWhenMapIsNonEmpty)
{
    Demo::Extended ext;
    HookCounter plain;
    ASSERT_TRUE(ext.accept(plain));
    EXPECT_EQ(plain.extensions, 0);
    EXPECT_EQ(plain.fields, 1);

    ext.includeOptionalField(Demo::Extended::e_c, 2);
    ext.removeOptionalField(Demo::Extended::e_c);
    HookCounter cleared;
    ASSERT_TRUE(ext.accept(cleared));
    EXPECT_EQ(cleared.extensions, 1);
    EXPECT_EQ(cleared.known, 0);
}

TEST(ValueModel, ObjectIdentifierContents)
{
    OBJECT_IDENTIFIER oid;
    oid.arcs = {2, 100, 3};
    std::vector<char> contents;
    oid.encodeCommon(contents);
    EXPECT_EQ(hex(contents), hex(octets({0x81, 0x34, 0x03})));
    OBJECT_IDENTIFIER back;
    ASSERT_TRUE(back.decodeCommon(contents.data(), contents.data() + contents.size()));
    EXPECT_EQ(back.compare(oid), 0);
    EXPECT_TRUE(back.decodeCommon(nullptr, nullptr));
    EXPECT_EQ(back.levels(), 0u);
    // The largest first sub-identifier still fits 32 bits.
    oid.arcs = {2, 0xFFFFFFFFu - 80};
    contents.clear();
    ASSERT_TRUE(oid.encodeCommon(contents));
    ASSERT_TRUE(back.decodeCommon(contents.data(), contents.data() + contents.size()));
    EXPECT_EQ(back.compare(oid), 0);
}

TEST(ValueModel, ObjectIdentifierThatNoOctetsReadBackFailsToEncode)
{
    const std::vector<std::uint32_t> unwritable[] = {{1}, {3, 1}, {0, 40}, {1, 40}, {2, 0xFFFFFFFFu - 79}};
    for (const std::vector<std::uint32_t>& arcs : unwritable) {
        OBJECT_IDENTIFIER oid;
        oid.arcs = arcs;
        std::vector<char> contents;
        EXPECT_FALSE(oid.encodeCommon(contents)) << arcs[0];
        EXPECT_TRUE(contents.empty());
        bool ok = true;
        per(oid, &ok);
        EXPECT_FALSE(ok) << arcs[0];
        per(oid, &ok, CoderEnv::ber_encoding);
        EXPECT_FALSE(ok) << arcs[0];
    }
}

TEST(ValueModelDeathTest, AbsentFieldsAndAlternativesAreFatal)
{
    Demo::Message msg;
    EXPECT_DEATH(msg.set_seq(1), "ASN1 ASSERTION! access to absent field \"seq\"");
    msg.includeOptionalField(Demo::Message::e_slot, 1);
    msg.removeOptionalField(Demo::Message::e_slot);
    EXPECT_DEATH(msg.get_slot(), "access to absent field \"slot\"");
    EXPECT_DEATH(msg.get_pdu().get_signal(), "access to unselected alternative \"signal\"");
}
