// Values made from the input over the type descriptors: every type of the
// message modules, and the forms of each kind that no module uses (partly
// constrained and extensible numbers, 32-bit ranges, every string kind, bit
// strings, sized lists, times). The input picks every alternative, every
// optional field and extension addition, lengths at their bounds and
// numbers at the bounds and the 32-bit extremes. Whatever encodes must
// decode to an equal value, in aligned PER and in BER.
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Fuzz.h"

#include "asn1/ASN1.h"
#include "asn1/modules/Modules.h"
#include "tests/support/ValueFiller.h"

namespace {

using ASN1::AbstractData;
using ASN1::ConstrainedObject;

const std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

ConstrainedObject::InfoType integerForm(ASN1::ConstraintType type, std::int32_t lower, std::uint32_t upper)
{
    return {{&ASN1::INTEGER::create, 2}, type, lower, upper};
}

template <class Info>
Info sized(const Info& kind, ASN1::ConstraintType type, std::int32_t lower, std::uint32_t upper)
{
    Info info = kind;
    info.type = type;
    info.lowerLimit = lower;
    info.upperLimit = upper;
    return info;
}

const ConstrainedObject::InfoType integerForms[] = {
    integerForm(ASN1::PartiallyConstrained, 0, ASN1::NoUpperLimit),
    integerForm(ASN1::PartiallyConstrained, 1, ASN1::NoUpperLimit),
    integerForm(ASN1::PartiallyConstrained, 1000, ASN1::NoUpperLimit),
    integerForm(ASN1::PartiallyConstrained, kMax, ASN1::NoUpperLimit),
    integerForm(ASN1::PartiallyConstrained, -1, ASN1::NoUpperLimit),
    integerForm(ASN1::PartiallyConstrained, kMin, ASN1::NoUpperLimit),
    integerForm(ASN1::ExtendableConstraint, -5, 5),
    integerForm(ASN1::ExtendableConstraint, 0, 255),
    integerForm(ASN1::ExtendableConstraint, 0, 4294967295u),
    integerForm(ASN1::FixedConstraint, kMin, static_cast<std::uint32_t>(kMax)),
    integerForm(ASN1::FixedConstraint, 0, 4294967295u),
    integerForm(ASN1::FixedConstraint, -1, 0),
    integerForm(ASN1::FixedConstraint, 5, 5),
    integerForm(ASN1::FixedConstraint, 0, 256),
    integerForm(ASN1::FixedConstraint, 0, 65536),
    integerForm(ASN1::FixedConstraint, -128, 127),
};

const ASN1::AbstractString::InfoType stringForms[] = {
    ASN1::NumericString::theInfo,
    ASN1::PrintableString::theInfo,
    ASN1::VisibleString::theInfo,
    ASN1::GeneralString::theInfo,
    sized(ASN1::IA5String::theInfo, ASN1::FixedConstraint, 1, 1),
    sized(ASN1::IA5String::theInfo, ASN1::FixedConstraint, 0, 2),
    sized(ASN1::NumericString::theInfo, ASN1::FixedConstraint, 3, 3),
    sized(ASN1::PrintableString::theInfo, ASN1::ExtendableConstraint, 1, 4),
    sized(ASN1::GeneralString::theInfo, ASN1::FixedConstraint, 0, 300),
};

const ASN1::BMPString::InfoType bmpForms[] = {
    ASN1::BMPString::theInfo,
    sized(ASN1::BMPString::theInfo, ASN1::FixedConstraint, 1, 1),
    sized(ASN1::BMPString::theInfo, ASN1::ExtendableConstraint, 0, 8),
    {{{&ASN1::BMPString::create, 30}, ASN1::FixedConstraint, 0, 20}, 32, 126, 7, 8},
};

const ConstrainedObject::InfoType octetForms[] = {
    sized(ASN1::OCTET_STRING::theInfo, ASN1::FixedConstraint, 1, 1),
    sized(ASN1::OCTET_STRING::theInfo, ASN1::FixedConstraint, 3, 3),
    sized(ASN1::OCTET_STRING::theInfo, ASN1::FixedConstraint, 0, 2),
    sized(ASN1::OCTET_STRING::theInfo, ASN1::FixedConstraint, 2, 300),
    sized(ASN1::OCTET_STRING::theInfo, ASN1::ExtendableConstraint, 1, 4),
    sized(ASN1::OCTET_STRING::theInfo, ASN1::PartiallyConstrained, 2, ASN1::NoUpperLimit),
};

const ConstrainedObject::InfoType bitForms[] = {
    ASN1::BIT_STRING::theInfo,
    sized(ASN1::BIT_STRING::theInfo, ASN1::FixedConstraint, 1, 1),
    sized(ASN1::BIT_STRING::theInfo, ASN1::FixedConstraint, 16, 16),
    sized(ASN1::BIT_STRING::theInfo, ASN1::FixedConstraint, 17, 17),
    sized(ASN1::BIT_STRING::theInfo, ASN1::FixedConstraint, 0, 40),
    sized(ASN1::BIT_STRING::theInfo, ASN1::ExtendableConstraint, 8, 8),
};

const ASN1::SEQUENCE_OF_Base::InfoType listForms[] = {
    {{{&ASN1::SEQUENCE_OF_Base::create, 16}, ASN1::FixedConstraint, 1, 3}, &integerForms[0]},
    {{{&ASN1::SEQUENCE_OF_Base::create, 16}, ASN1::ExtendableConstraint, 0, 2}, &ASN1::BOOLEAN::theInfo},
    {{{&ASN1::SEQUENCE_OF_Base::create, 16}, ASN1::Unconstrained, 0, ASN1::NoUpperLimit}, &bmpForms[0]},
};

// Every form once more as an optional field of one extensible SEQUENCE, the
// last three also as extension additions: the forms next to each other.
struct FormSequence {
    std::vector<const AbstractData::InfoType*> infos;
    std::vector<std::int32_t> ids;
    std::vector<std::string> names;
    std::vector<const char*> namePointers;
    ASN1::SEQUENCE::InfoType info;

    FormSequence()
    {
        add(integerForms, sizeof integerForms / sizeof integerForms[0]);
        add(stringForms, sizeof stringForms / sizeof stringForms[0]);
        add(bmpForms, sizeof bmpForms / sizeof bmpForms[0]);
        add(octetForms, sizeof octetForms / sizeof octetForms[0]);
        add(bitForms, sizeof bitForms / sizeof bitForms[0]);
        add(listForms, sizeof listForms / sizeof listForms[0]);
        infos.push_back(&ASN1::OBJECT_IDENTIFIER::theInfo);
        infos.push_back(&ASN1::GeneralizedTime::theInfo);
        const std::uint32_t roots = static_cast<std::uint32_t>(infos.size());
        for (std::uint32_t i = 0; i < roots; ++i)
            ids.push_back(static_cast<std::int32_t>(i));
        const std::uint32_t additions = 3;
        for (std::uint32_t i = 0; i < additions; ++i)
            infos.push_back(infos[i * 5]);
        for (std::size_t i = 0; i < infos.size(); ++i)
            names.push_back("f" + std::to_string(i));
        for (const std::string& n : names)
            namePointers.push_back(n.c_str());
        info = {{&ASN1::SEQUENCE::create, 16}, true, infos.data(), ids.data(), roots, additions, roots,
                nullptr, nullptr, namePointers.data()};
    }

    template <class Info>
    void add(const Info* forms, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            infos.push_back(&forms[i]);
    }
};

struct Candidate {
    std::string name;
    const AbstractData::InfoType* info;
};

// Every type of every module, then the forms above.
std::vector<Candidate> candidates()
{
    static const FormSequence sequence;
    std::vector<Candidate> out;
    for (const Asn1Modules::Module* module : Asn1Modules::modules)
        for (std::size_t i = 0; i < module->typeCount; ++i)
            out.push_back({std::string(module->name) + "::" + module->types[i].name, module->types[i].info});
    std::vector<const AbstractData::InfoType*> forms = sequence.infos;
    forms.push_back(&sequence.info);
    for (std::size_t i = 0; i < forms.size(); ++i)
        out.push_back({"form " + std::to_string(i), forms[i]});
    return out;
}

// No schema nests deeper; lists and strings stay short enough to keep a
// run fast, and long enough for two-octet lengths.
const unsigned kMaxDepth = 48;
const unsigned kMaxNodes = 4000;
const std::uint32_t kMaxLength = 300;

class Generator : public test::ValueFiller {
public:
    explicit Generator(fuzz::Bytes& in) : ValueFiller(kMaxDepth, kMaxNodes), in_(in) {}

    bool do_visit(ASN1::Null&) override { return true; }
    bool do_visit(ASN1::BOOLEAN& value) override
    {
        value.setValue((in_.byte() & 1) != 0);
        return true;
    }
    bool do_visit(ASN1::INTEGER& value) override
    {
        value.setUnsignedValue(number(value));
        return true;
    }
    bool do_visit(ASN1::ENUMERATED& value) override
    {
        const unsigned pick = in_.byte();
        const std::uint64_t count = std::uint64_t(value.getMaximum()) + 1;
        std::uint32_t v = static_cast<std::uint32_t>(pick % count);
        if (pick >= 0xF0)
            v = static_cast<std::uint32_t>(count + (pick & 7));   // past the root
        if (pick == 0xFF)
            v = in_.word();
        value.setValue(static_cast<std::int32_t>(v));
        return true;
    }
    bool do_visit(ASN1::OBJECT_IDENTIFIER& value) override
    {
        value.arcs.clear();
        const unsigned pick = in_.byte();
        const std::uint32_t first = pick % 3;
        value.arcs.push_back(first);
        value.arcs.push_back(first < 2 ? in_.below(40) : in_.word());
        for (unsigned n = (pick >> 2) % 6; n > 0; --n)
            value.arcs.push_back(in_.byte() < 0x80 ? in_.byte() : in_.word());
        return true;
    }
    bool do_visit(ASN1::OCTET_STRING& value) override
    {
        const std::uint32_t n = length(value, kMaxLength);
        const std::vector<char> octets = in_.take(n);
        value.assign(octets.begin(), octets.end());
        value.resize(n);
        return true;
    }
    bool do_visit(ASN1::BIT_STRING& value) override
    {
        value.resize(0);
        value.resize(length(value, kMaxLength * 8));
        for (std::uint32_t i = 0; i < value.size(); ++i) {
            if (i % 8 == 0)
                bits_ = in_.byte();
            if ((bits_ >> (7 - i % 8)) & 1)
                value.set(i);
        }
        return true;
    }
    bool do_visit(ASN1::AbstractString& value) override
    {
        const ASN1::AbstractString::InfoType* info = value.info();
        value.assign(length(value, kMaxLength), ' ');
        for (char& c : value) {
            const unsigned pick = in_.byte();
            // Now and then a character outside the set.
            c = pick < 0xF0 && info->characterSetSize > 0 ? info->characterSet[pick % info->characterSetSize]
                                                           : static_cast<char>(in_.byte());
        }
        return true;
    }
    bool do_visit(ASN1::BMPString& value) override
    {
        const ASN1::BMPString::InfoType* info = value.info();
        value.assign(length(value, kMaxLength), L' ');
        for (wchar_t& c : value) {
            const unsigned pick = in_.byte();
            std::uint32_t code = info->firstChar + in_.below(std::uint64_t(info->lastChar) - info->firstChar + 1);
            if (pick >= 0xF0)
                code = in_.word() >> (pick & 15);    // beyond 16 bits too
            c = static_cast<wchar_t>(code);
        }
        return true;
    }
    bool do_visit(ASN1::CHOICE& value) override
    {
        const ASN1::CHOICE::InfoType* info = value.info();
        if (info->totalChoices == 0)
            return false;
        const std::int32_t id = static_cast<std::int32_t>(in_.below(info->totalChoices));
        AbstractData* alternative = info->selectionInfos[id]->create(info->selectionInfos[id]);
        value.setSelection(id, alternative);
        return nested(*alternative);
    }
    bool do_visit(ASN1::SEQUENCE_OF_Base& value) override
    {
        return elements(value, length(value, depth() < 3 ? ASN1::MaximumArraySize : 3));
    }
    bool do_visit(ASN1::OpenData&) override { return false; }
    bool do_revisit(ASN1::OpenData&) override { return false; }
    bool do_visit(ASN1::TypeConstrainedOpenData& value) override
    {
        return value.has_data() && nested(value.get_data());
    }
    bool do_visit(ASN1::GeneralizedTime& value) override
    {
        value.year = static_cast<std::int32_t>(in_.below(10000));
        value.month = static_cast<std::int32_t>(1 + in_.below(12));
        value.day = static_cast<std::int32_t>(1 + in_.below(31));
        value.hour = static_cast<std::int32_t>(in_.below(24));
        value.minute = static_cast<std::int32_t>(in_.below(60));
        value.second = static_cast<std::int32_t>(in_.below(60));
        value.millisec = static_cast<std::int32_t>(in_.below(1000));
        const unsigned zone = in_.byte();
        value.utc = zone < 0x40;
        value.mindiff = value.utc || zone < 0x80 ? 0 : static_cast<std::int32_t>(in_.below(1441)) - 720;
        return true;
    }

private:
    bool present() override { return (in_.byte() & 1) != 0; }

    // Near either bound, anywhere in the range, at a power of two, near
    // the 32-bit extremes, or any word.
    std::uint32_t number(const ASN1::INTEGER& value)
    {
        const std::uint32_t lower = static_cast<std::uint32_t>(value.getLowerLimit());
        const std::uint32_t upper = value.getUpperLimit();
        const unsigned pick = in_.byte();
        const unsigned k = pick >> 3;
        switch (pick & 7) {
        case 0:
            return lower + k;
        case 1:
            return upper - k;
        case 2:
            return lower + in_.below(std::uint64_t(upper - lower) + 1);
        case 3:
            return (1u << k) - 1;
        case 4:
            return 1u << k;
        case 5:
            return 0u - (1u << k);
        case 6:
            return k % 2 == 0 ? 0x80000000u + k / 2 : 0x7FFFFFFFu - k / 2;
        default:
            return in_.word();
        }
    }

    // A length or count: near either bound of the size constraint, within
    // it, or past it; at most `cap`.
    std::uint32_t length(const ConstrainedObject& value, std::uint32_t cap)
    {
        const bool constrained = value.constrained();
        const std::uint32_t lower = constrained ? static_cast<std::uint32_t>(value.getLowerLimit()) : 0;
        const std::uint32_t upper = constrained ? value.getUpperLimit() : ASN1::NoUpperLimit;
        const unsigned pick = in_.byte();
        const unsigned k = pick >> 2;
        std::uint64_t n;
        switch (pick & 3) {
        case 0:
            n = std::uint64_t(lower) + k;
            break;
        case 1:
            n = upper >= k ? upper - k : 0;
            break;
        case 2:
            n = lower + in_.below(std::uint64_t(upper) - lower + 1);
            break;
        default:
            n = std::uint64_t(upper) + 1 + k % 4;
            break;
        }
        return static_cast<std::uint32_t>(n > cap ? cap : n);
    }

    fuzz::Bytes& in_;
    unsigned bits_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<Candidate> types = candidates();
    fuzz::Bytes in(data, size);
    const std::uint32_t pick = in.byte() << 8 | in.byte();
    const Candidate& type = types[pick % types.size()];
    std::unique_ptr<AbstractData> value(type.info->create(type.info));
    Generator generator(in);
    if (!generator.visit(*value))
        return 0;
    // A value may fail to encode: the coders refuse what would not read
    // back (a negative number of a partly constrained INTEGER under a
    // negative lower limit, object identifier arcs beyond 32 bits).
    fuzz::checkRecode(ASN1::CoderEnv::per_encoding, *value, "PER " + type.name, false);
    fuzz::checkRecode(ASN1::CoderEnv::ber_encoding, *value, "BER " + type.name, false);
    return 0;
}
