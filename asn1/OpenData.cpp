#include "asn1/OpenData.h"

#include <boost/polymorphic_cast.hpp>

#include "asn1/Visitor.h"

namespace ASN1 {

const OpenData::InfoType OpenData::theInfo = {&OpenData::create, 0};

OpenData::OpenData(const OpenData& other)
    : AbstractData(other),
      data(other.data ? other.data->clone() : nullptr),
      buf(other.buf ? new std::vector<char>(*other.buf) : nullptr)
{
}

OpenData& OpenData::operator=(const OpenData& other)
{
    if (this != &other) {
        OpenData copy(other);
        swap(copy);
    }
    return *this;
}

AbstractData* OpenData::create(const AbstractData::InfoType* info)
{
    return new OpenData(info);
}

int OpenData::do_compare(const AbstractData& other) const
{
    const OpenData& that = *boost::polymorphic_downcast<const OpenData*>(&other);
    if (data && that.data)
        return data->compare(*that.data);
    if (buf && that.buf)
        return lexicographic_compare_bytes(buf->data(), buf->data() + buf->size(),
                                           that.buf->data(), that.buf->data() + that.buf->size());
    if (!data && !buf && !that.data && !that.buf)
        return 0;
    return data ? 1 : -1;
}

AbstractData* OpenData::do_clone() const
{
    return new OpenData(*this);
}

bool OpenData::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool OpenData::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

TypeConstrainedOpenData::TypeConstrainedOpenData(const InfoType* info) : OpenData(info)
{
    if (info->typeInfo != nullptr)
        data.reset(info->typeInfo->create(info->typeInfo));
}

AbstractData* TypeConstrainedOpenData::create(const AbstractData::InfoType* info)
{
    return new TypeConstrainedOpenData(static_cast<const InfoType*>(info));
}

AbstractData* TypeConstrainedOpenData::do_clone() const
{
    return new TypeConstrainedOpenData(*this);
}

bool TypeConstrainedOpenData::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool TypeConstrainedOpenData::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(static_cast<const OpenData&>(*this));
}

} // namespace ASN1
