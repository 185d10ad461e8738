// Validity checkers and the invalid-value tracer on the message modules.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "asn1/InvalidTracer.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/Modules.h"
#include "asn1/modules/TERM.h"

namespace {

std::string trace(const ASN1::AbstractData& value)
{
    std::ostringstream strm;
    ASN1::trace_invalid(strm, "invalid", value);
    return strm.str();
}

TEST(ModuleValidity, RandomValuesOfEveryTypeAreValid)
{
    ModulesTest::Random random(7);
    for (const Asn1Modules::Module* module : Asn1Modules::modules) {
        for (std::size_t t = 0; t < module->typeCount; ++t) {
            const Asn1Modules::TypeEntry& type = module->types[t];
            std::unique_ptr<ASN1::AbstractData> value = ModulesTest::randomValue(type.info, random);
            EXPECT_TRUE(value->isValid()) << module->name << "." << type.name << trace(*value);
            EXPECT_EQ(trace(*value), "");
        }
    }
}

TEST(ModuleValidity, EdgeValues)
{
    LGCP::Message msg;
    msg.get_pdu().set_command().set_ping();
    EXPECT_TRUE(msg.isStrictlyValid());
    msg.include_slot() = 1024u;
    EXPECT_FALSE(msg.isValid());
    EXPECT_EQ(trace(msg), "invalid.slot The INTEGER value 1024 is greater than upper bound 1023");

    ModulesTest::Random random(11);
    std::unique_ptr<ASN1::AbstractData> value = ModulesTest::randomValue(&TERM::RtpParams::theInfo, random);
    TERM::RtpParams& rtp = static_cast<TERM::RtpParams&>(*value);
    rtp.include_dname() = std::string(64, 'd');
    EXPECT_TRUE(rtp.isValid());
    rtp.get_dname() = std::string(70, 'd');
    EXPECT_FALSE(rtp.isValid());
    EXPECT_EQ(trace(rtp), "invalid.dname This AbstractString has size 70 greater than its upper bound 64");

    LGCP::ErrorCause cause;
    cause.ASN1::ENUMERATED::setValue(20);
    EXPECT_TRUE(cause.isValid());
    EXPECT_FALSE(cause.isStrictlyValid());

    EXPECT_EQ(trace(LGCP::PDU()), "invalid This CHOICE is not selected");
}

} // namespace
