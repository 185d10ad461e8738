// Value notation of the message modules: what the printer writes reads back
// into an equal value, for random values of every type of every module.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSupport.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/Modules.h"

namespace {

using ASN1::AbstractData;

// The printer writes strings without escapes, so a double quote inside one
// cannot be read back; such values are left out.
class QuoteFinder : public ASN1::ConstVisitor {
public:
    using ASN1::ConstVisitor::do_visit;
    bool do_visit(const ASN1::AbstractString& value) override
    {
        return value.find('"') == std::string::npos;
    }
    bool do_visit(const ASN1::CHOICE& value) override
    {
        return value.choice == nullptr || value.choice->accept(*this);
    }
    bool do_visit(const ASN1::SEQUENCE_OF_Base& value) override
    {
        for (const AbstractData* element : value.container) {
            if (!element->accept(*this))
                return false;
        }
        return true;
    }
    bool do_visit(const ASN1::OpenData& value) override
    {
        return !value.has_data() || value.data->accept(*this);
    }
    bool visitExtensionRoot(const ASN1::SEQUENCE& seq, std::size_t fieldIndex) override
    {
        return seq.fields[fieldIndex]->accept(*this);
    }
    bool visitKnownExtension(const ASN1::SEQUENCE& seq, std::size_t fieldIndex) override
    {
        return seq.fields[fieldIndex]->accept(*this);
    }
};

TEST(ModuleValueNotation, EveryTypeReadsBackEqual)
{
    ModulesTest::Random random(20261207);
    std::size_t checked = 0;
    for (const Asn1Modules::Module* module : Asn1Modules::modules) {
        for (std::size_t t = 0; t < module->typeCount; ++t) {
            const Asn1Modules::TypeEntry& type = module->types[t];
            for (int round = 0; round < 8; ++round) {
                std::unique_ptr<AbstractData> value = ModulesTest::randomValue(type.info, random);
                QuoteFinder finder;
                if (!value->accept(finder))
                    continue;
                const std::string text = value->asValueNotation();
                std::unique_ptr<AbstractData> copy(type.info->create(type.info));
                ASSERT_TRUE(copy->setFromValueNotation(text)) << module->name << "." << type.name << "\n" << text;
                ASSERT_EQ(copy->compare(*value), 0) << module->name << "." << type.name << "\n" << text;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 2000u);
}

TEST(ModuleValueNotation, ControlCommandText)
{
    LGCP::Message msg;
    ASSERT_TRUE(msg.setFromValueNotation("{ seq 9, slot 3, pdu command : ping : NULL }"));
    EXPECT_EQ(msg.asValueNotation(), "{\n  seq 9,\n  slot 3,\n  pdu command : ping : NULL\n}");
    EXPECT_FALSE(msg.setFromValueNotation("{ seq 9, pdu command : pong : NULL }"));
}

} // namespace
