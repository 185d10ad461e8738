// BER round trips of random values of every type of every module.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>

#include "TestSupport.h"
#include "asn1/modules/Modules.h"

namespace {

TEST(ModuleBer, EveryTypeRoundTrips)
{
    ModulesTest::Random random(99);
    ASN1::CoderEnv env(ASN1::CoderEnv::ber_encoding);
    std::size_t checked = 0;
    for (const Asn1Modules::Module* module : Asn1Modules::modules) {
        for (std::size_t t = 0; t < module->typeCount; ++t) {
            const Asn1Modules::TypeEntry& type = module->types[t];
            for (int round = 0; round < 6; ++round) {
                std::unique_ptr<ASN1::AbstractData> value = ModulesTest::randomValue(type.info, random);
                std::vector<char> bytes;
                ASSERT_TRUE(ASN1::encode(*value, &env, std::back_inserter(bytes))) << module->name << "." << type.name;
                bytes.shrink_to_fit();
                std::unique_ptr<ASN1::AbstractData> copy(type.info->create(type.info));
                ASSERT_TRUE(ASN1::decode(bytes.data(), bytes.data() + bytes.size(), &env, *copy, false))
                    << module->name << "." << type.name << " " << ModulesTest::hex(bytes);
                ASSERT_EQ(copy->compare(*value), 0) << module->name << "." << type.name << " " << ModulesTest::hex(bytes);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 2000u);
}

} // namespace
