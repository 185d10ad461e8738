#include "asn1/SEQUENCE_OF.h"

#include "asn1/ValidChecker.h"
#include "asn1/Visitor.h"

namespace ASN1 {

SEQUENCE_OF_Base::SEQUENCE_OF_Base(const SEQUENCE_OF_Base& other) : ConstrainedObject(other)
{
    container.reserve(other.container.size());
    for (const AbstractData* element : other.container)
        container.push_back(element->clone());
}

SEQUENCE_OF_Base& SEQUENCE_OF_Base::operator=(const SEQUENCE_OF_Base& other)
{
    if (this != &other) {
        SEQUENCE_OF_Base copy(other);
        swap(copy);
    }
    return *this;
}

SEQUENCE_OF_Base::~SEQUENCE_OF_Base()
{
    clear();
}

AbstractData* SEQUENCE_OF_Base::create(const AbstractData::InfoType* info)
{
    return new SEQUENCE_OF_Base(static_cast<const InfoType*>(info));
}

void SEQUENCE_OF_Base::resize(std::size_t count)
{
    if (count < container.size()) {
        erase(container.begin() + count, container.end());
        return;
    }
    const AbstractData::InfoType* element = info()->elementInfo;
    container.reserve(count);
    while (container.size() < count)
        container.push_back(element->create(element));
}

void SEQUENCE_OF_Base::clear()
{
    erase(container.begin(), container.end());
}

void SEQUENCE_OF_Base::insert(Container::iterator pos, std::size_t count, const AbstractData& value)
{
    std::size_t at = pos - container.begin();
    container.insert(pos, count, nullptr);
    for (std::size_t i = 0; i < count; ++i)
        container[at + i] = value.clone();
}

void SEQUENCE_OF_Base::insert(Container::iterator pos, Container::const_iterator first, Container::const_iterator last)
{
    std::size_t at = pos - container.begin();
    std::size_t count = last - first;
    std::vector<AbstractData*> clones;
    clones.reserve(count);
    for (; first != last; ++first)
        clones.push_back((*first)->clone());
    container.insert(container.begin() + at, clones.begin(), clones.end());
}

SEQUENCE_OF_Base::Container::iterator SEQUENCE_OF_Base::erase(Container::iterator first, Container::iterator last)
{
    for (Container::iterator it = first; it != last; ++it)
        delete *it;
    return container.erase(first, last);
}

int SEQUENCE_OF_Base::do_compare(const AbstractData& other) const
{
    const SEQUENCE_OF_Base& that = *boost::polymorphic_downcast<const SEQUENCE_OF_Base*>(&other);
    for (std::size_t i = 0; i < container.size() && i < that.container.size(); ++i) {
        const int result = container[i]->compare(*that.container[i]);
        if (result != 0)
            return result;
    }
    return container.size() < that.container.size() ? -1 : container.size() > that.container.size() ? 1 : 0;
}

AbstractData* SEQUENCE_OF_Base::do_clone() const
{
    return new SEQUENCE_OF_Base(*this);
}

bool SEQUENCE_OF_Base::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool SEQUENCE_OF_Base::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

bool SEQUENCE_OF_Base::isValid() const
{
    if (!sizeValid(*this, static_cast<std::uint32_t>(size()), false))
        return false;
    for (const AbstractData* element : container) {
        if (!element->isValid())
            return false;
    }
    return true;
}

bool SEQUENCE_OF_Base::isStrictlyValid() const
{
    if (!sizeValid(*this, static_cast<std::uint32_t>(size()), true))
        return false;
    for (const AbstractData* element : container) {
        if (!element->isStrictlyValid())
            return false;
    }
    return true;
}

} // namespace ASN1
