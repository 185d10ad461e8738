#include "TestSupport.h"

#include <iterator>
#include <string>
#include <vector>

#include "support/ValueFiller.h"

namespace ModulesTest {
namespace {

using ASN1::AbstractData;

// No schema nests deeper; a guard against a runaway walk.
const unsigned MaxDepth = 64;

class Filler : public test::ValueFiller {
public:
    explicit Filler(Random& random) : ValueFiller(MaxDepth, 0xFFFFFFFFu), random_(random) {}

    bool do_visit(ASN1::Null&) override { return true; }
    bool do_visit(ASN1::BOOLEAN& value) override
    {
        value = random_.chance(50);
        return true;
    }
    bool do_visit(ASN1::INTEGER& value) override
    {
        if (value.getConstraintType() == ASN1::FixedConstraint) {
            const std::uint32_t lower = static_cast<std::uint32_t>(value.getLowerLimit());
            const std::uint64_t range = std::uint64_t(value.getUpperLimit() - lower) + 1;
            // Bounds half of the time, so that both ends are coded.
            std::uint32_t offset = random_.below(range);
            if (random_.chance(25))
                offset = 0;
            else if (random_.chance(25))
                offset = static_cast<std::uint32_t>(range - 1);
            value.setUnsignedValue(lower + offset);
            return true;
        }
        // Unconstrained: every octet count of two's complement, both signs.
        const unsigned bits = 1 + random_.below(32);
        std::uint32_t v = static_cast<std::uint32_t>(random_.next()) & (bits == 32 ? 0xFFFFFFFFu : ((1u << bits) - 1));
        if (bits < 32 && random_.chance(50))
            v = ~v;
        value.setUnsignedValue(v);
        return true;
    }
    bool do_visit(ASN1::ENUMERATED& value) override
    {
        value.setValue(static_cast<std::int32_t>(random_.below(std::uint64_t(value.getMaximum()) + 1)));
        return true;
    }
    bool do_visit(ASN1::OBJECT_IDENTIFIER& value) override
    {
        value.arcs.clear();
        const std::uint32_t first = random_.below(3);
        value.arcs.push_back(first);
        value.arcs.push_back(first < 2 ? random_.below(40) : random_.below(1000));
        for (unsigned n = random_.below(5); n > 0; --n)
            value.arcs.push_back(random_.below(std::uint64_t(1) << (1 + random_.below(28))));
        return true;
    }
    bool do_visit(ASN1::OCTET_STRING& value) override
    {
        value.resize(length(0, ASN1::NoUpperLimit));
        for (char& c : value)
            c = static_cast<char>(random_.below(256));
        return true;
    }
    bool do_visit(ASN1::BIT_STRING&) override { return false; }
    bool do_visit(ASN1::AbstractString& value) override
    {
        const ASN1::AbstractString::InfoType* info = value.info();
        std::uint32_t lower = 0;
        std::uint32_t upper = ASN1::NoUpperLimit;
        if (info->type != ASN1::Unconstrained) {
            lower = static_cast<std::uint32_t>(info->lowerLimit);
            upper = info->upperLimit;
        }
        const std::uint32_t n = length(lower, upper);
        value.assign(n, ' ');
        for (char& c : value)
            c = info->characterSet[random_.below(info->characterSetSize)];
        return true;
    }
    bool do_visit(ASN1::BMPString&) override { return false; }
    bool do_visit(ASN1::CHOICE& value) override
    {
        const ASN1::CHOICE::InfoType* info = value.info();
        const std::int32_t id = static_cast<std::int32_t>(random_.below(info->totalChoices));
        AbstractData* alternative = info->selectionInfos[id]->create(info->selectionInfos[id]);
        value.setSelection(id, alternative);
        return nested(*alternative);
    }
    bool do_visit(ASN1::SEQUENCE_OF_Base& value) override
    {
        // Short lists, shorter the deeper they sit; now and then a long one
        // near the decoder's limit.
        std::uint32_t n = depth() < 3 ? random_.below(4) : (depth() < 6 ? random_.below(2) : 0);
        if (depth() < 2 && random_.chance(3))
            n = ASN1::MaximumArraySize - random_.below(8);
        return elements(value, n);
    }
    bool do_visit(ASN1::OpenData&) override { return false; }
    bool do_revisit(ASN1::OpenData&) override { return false; }
    bool do_visit(ASN1::TypeConstrainedOpenData&) override { return false; }
    bool do_visit(ASN1::GeneralizedTime&) override { return false; }

private:
    bool present() override { return random_.chance(depth() < 4 ? 60 : 30); }

    // Lengths of every length-determinant form: one octet, two octets.
    std::uint32_t length(std::uint32_t lower, std::uint32_t upper)
    {
        std::uint64_t top = random_.chance(5) ? 300 : 20;
        if (upper != ASN1::NoUpperLimit && top > std::uint64_t(upper) - lower + 1)
            top = std::uint64_t(upper) - lower + 1;
        return lower + random_.below(top);
    }

    Random& random_;
};

} // namespace

bool encodePer(const ASN1::AbstractData& value, std::vector<char>& out)
{
    out.clear();
    ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
    return ASN1::encode(value, &env, std::back_inserter(out));
}

bool decodePer(const std::vector<char>& in, ASN1::AbstractData& value)
{
    ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
    return ASN1::decode(in.data(), in.data() + in.size(), &env, value, true);
}

std::string hex(const std::vector<char>& octets)
{
    static const char digits[] = "0123456789abcdef";
    if (octets.empty())
        return "-";
    std::string text;
    text.reserve(octets.size() * 2);
    for (char c : octets) {
        const unsigned char octet = static_cast<unsigned char>(c);
        text += digits[octet >> 4];
        text += digits[octet & 15];
    }
    return text;
}

bool unhex(const std::string& text, std::vector<char>& out)
{
    out.clear();
    if (text == "-")
        return true;
    if (text.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned octet = 0;
        for (std::size_t j = i; j < i + 2; ++j) {
            const char c = text[j];
            octet <<= 4;
            if (c >= '0' && c <= '9')
                octet |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                octet |= static_cast<unsigned>(c - 'a' + 10);
            else
                return false;
        }
        out.push_back(static_cast<char>(octet));
    }
    return true;
}

std::uint64_t Random::next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::unique_ptr<ASN1::AbstractData> randomValue(const ASN1::AbstractData::InfoType* info, Random& random)
{
    std::unique_ptr<AbstractData> value(info->create(info));
    fillRandom(*value, random);
    return value;
}

void fillRandom(ASN1::AbstractData& value, Random& random)
{
    Filler filler(random);
    filler.visit(value);
}

void components(const ASN1::AbstractData::InfoType* info, std::vector<const ASN1::AbstractData::InfoType*>& out)
{
    out.clear();
    std::unique_ptr<AbstractData> value(info->create(info));
    if (const ASN1::SEQUENCE* seq = dynamic_cast<const ASN1::SEQUENCE*>(value.get())) {
        const ASN1::SEQUENCE::InfoType* s = seq->info();
        out.assign(s->fieldInfos, s->fieldInfos + s->numFields + s->knownExtensions);
    } else if (const ASN1::CHOICE* choice = dynamic_cast<const ASN1::CHOICE*>(value.get())) {
        const ASN1::CHOICE::InfoType* c = choice->info();
        out.assign(c->selectionInfos, c->selectionInfos + c->totalChoices);
    } else if (const ASN1::SEQUENCE_OF_Base* list = dynamic_cast<const ASN1::SEQUENCE_OF_Base*>(value.get())) {
        out.push_back(list->info()->elementInfo);
    }
}

std::set<const ASN1::AbstractData::InfoType*> reachable(const ASN1::AbstractData::InfoType* info)
{
    std::set<const AbstractData::InfoType*> seen;
    std::vector<const AbstractData::InfoType*> todo(1, info);
    std::vector<const AbstractData::InfoType*> parts;
    while (!todo.empty()) {
        const AbstractData::InfoType* next = todo.back();
        todo.pop_back();
        if (!seen.insert(next).second)
            continue;
        components(next, parts);
        todo.insert(todo.end(), parts.begin(), parts.end());
    }
    return seen;
}

} // namespace ModulesTest
