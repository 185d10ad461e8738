#include "asn1/CHOICE.h"

#include <cstdlib>
#include <iostream>
#include <utility>

#include "asn1/Visitor.h"

namespace ASN1 {

CHOICE::CHOICE(const CHOICE& other)
    : AbstractData(other), choice(other.choice ? other.choice->clone() : nullptr), choiceID(other.choiceID)
{
}

CHOICE& CHOICE::operator=(const CHOICE& other)
{
    if (this != &other) {
        AbstractData* copy = other.choice ? other.choice->clone() : nullptr;
        delete choice;
        choice = copy;
        choiceID = other.choiceID;
    }
    return *this;
}

AbstractData* CHOICE::create(const AbstractData::InfoType* info)
{
    return new CHOICE(static_cast<const InfoType*>(info));
}

const char* CHOICE::getSelectionName() const
{
    if (choiceID < 0 || static_cast<std::uint32_t>(choiceID) >= info()->totalChoices)
        return nullptr;
    return info()->selectionNames[choiceID];
}

AbstractData* CHOICE::setSelection(std::int32_t id, AbstractData* value)
{
    if (value != choice) {
        delete choice;
        choice = value;
    }
    choiceID = id;
    return value;
}

void CHOICE::swap(CHOICE& other)
{
    std::swap(choice, other.choice);
    std::swap(choiceID, other.choiceID);
}

bool CHOICE::isValid() const
{
    if (choice == nullptr || choiceID < 0)
        return false;
    const std::uint32_t id = static_cast<std::uint32_t>(choiceID);
    const std::uint32_t limit = extendable() ? info()->totalChoices : info()->numChoices;
    return id < limit && choice->isValid();
}

bool CHOICE::isStrictlyValid() const
{
    return choice != nullptr && choiceID >= 0 && static_cast<std::uint32_t>(choiceID) < info()->numChoices
           && choice->isStrictlyValid();
}

int CHOICE::do_compare(const AbstractData& other) const
{
    const CHOICE& that = *boost::polymorphic_downcast<const CHOICE*>(&other);
    if (choiceID == that.choiceID && choiceID >= 0) {
        if (choice == nullptr || that.choice == nullptr)
            return choice ? 1 : that.choice ? -1 : 0;
        return choice->compare(*that.choice);
    }
    return choiceID < that.choiceID ? -1 : choiceID > that.choiceID ? 1 : 0;
}

AbstractData* CHOICE::do_clone() const
{
    return new CHOICE(*this);
}

bool CHOICE::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool CHOICE::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

void CHOICE::unselected(std::int32_t id) const
{
    const char* name = id >= 0 && static_cast<std::uint32_t>(id) < info()->totalChoices
                           ? info()->selectionNames[id] : "?";
    std::cerr << "ASN1 ASSERTION! access to unselected alternative \"" << name << "\"" << std::endl;
    std::abort();
}

} // namespace ASN1
