#include "asn1/BIT_STRING.h"

#include <utility>

#include <boost/polymorphic_cast.hpp>

#include "asn1/Visitor.h"

namespace ASN1 {

const BIT_STRING::InfoType BIT_STRING::theInfo = {{&BIT_STRING::create, 3}, Unconstrained, 0, NoUpperLimit};

AbstractData* BIT_STRING::create(const AbstractData::InfoType* info)
{
    return new BIT_STRING(static_cast<const InfoType*>(info));
}

void BIT_STRING::resize(std::uint32_t bits)
{
    bitData.resize((static_cast<std::size_t>(bits) + 7) / 8);
    totalBits = bits;
}

bool BIT_STRING::operator[](std::uint32_t bit) const
{
    return bit < totalBits && (static_cast<unsigned char>(bitData[bit >> 3]) & (0x80u >> (bit & 7))) != 0;
}

void BIT_STRING::set(std::uint32_t bit)
{
    if (bit < totalBits)
        bitData[bit >> 3] = static_cast<char>(static_cast<unsigned char>(bitData[bit >> 3]) | (0x80u >> (bit & 7)));
}

void BIT_STRING::clear(std::uint32_t bit)
{
    if (bit < totalBits)
        bitData[bit >> 3] = static_cast<char>(static_cast<unsigned char>(bitData[bit >> 3]) & ~(0x80u >> (bit & 7)));
}

void BIT_STRING::swap(BIT_STRING& other)
{
    std::swap(totalBits, other.totalBits);
    bitData.swap(other.bitData);
}

int BIT_STRING::do_compare(const AbstractData& other) const
{
    const BIT_STRING& that = *boost::polymorphic_downcast<const BIT_STRING*>(&other);
    const std::size_t common = std::min(bitData.size(), that.bitData.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned a = static_cast<unsigned char>(bitData[i]);
        const unsigned b = static_cast<unsigned char>(that.bitData[i]);
        if (a != b)
            return a > b ? 1 : -1;      // the side holding the higher differing bit
    }
    return totalBits < that.totalBits ? -1 : totalBits > that.totalBits ? 1 : 0;
}

AbstractData* BIT_STRING::do_clone() const
{
    return new BIT_STRING(*this);
}

bool BIT_STRING::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool BIT_STRING::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

} // namespace ASN1
