#pragma once
// CHOICE values: the owned value of the selected alternative and its number.
#include <boost/polymorphic_cast.hpp>

#include "asn1/AbstractData.h"

namespace ASN1 {

class CHOICE : public AbstractData {
public:
    struct InfoType : AbstractData::InfoType {
        bool extendable;
        const AbstractData::InfoType* const* selectionInfos;  // root, then known extensions
        std::uint32_t numChoices;                               // root alternatives
        std::uint32_t totalChoices;                             // root plus known extensions
        const std::uint32_t* selectionTags;                     // sorted tag words, or null
        const char* const* selectionNames;
    };
    static constexpr std::int32_t unselected_ = -1;         // nothing selected (new value)
    static constexpr std::int32_t unknownSelection_ = -2;   // creating the alternative failed

    // Takes ownership of value.
    explicit CHOICE(const InfoType* info, std::int32_t id = unselected_, AbstractData* value = nullptr)
        : AbstractData(info), choice(value), choiceID(id) {}
    CHOICE(const CHOICE& other);
    // Clones the other's value and copies its selection; the descriptor stays.
    CHOICE& operator=(const CHOICE& other);
    ~CHOICE() override { delete choice; }
    static AbstractData* create(const AbstractData::InfoType* info);

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }
    bool extendable() const { return info()->extendable; }
    std::int32_t currentSelection() const { return choiceID; }
    AbstractData* getSelection() const { return choice; }
    // Name of the selected alternative; null when none is selected or known.
    const char* getSelectionName() const;
    // Destroys the current value, takes ownership of value; returns value.
    AbstractData* setSelection(std::int32_t id, AbstractData* value);
    // Replaces the value by a new one of the selected alternative; false (and
    // choiceID -2, no value) when the selection has no descriptor.
    bool createSelection()
    {
        const AbstractData::InfoType* alternative =
            choiceID >= 0 && static_cast<std::uint32_t>(choiceID) < info()->totalChoices
                ? info()->selectionInfos[choiceID] : nullptr;
        delete choice;
        choice = nullptr;
        if (alternative == nullptr) {
            choiceID = unknownSelection_;
            return false;
        }
        choice = alternative->create(alternative);
        return true;
    }
    void swap(CHOICE& other);
    // A value is selected, it is a root alternative or the type is
    // extensible, and it is valid.
    bool isValid() const;
    // A root alternative is selected and it is strictly valid.
    bool isStrictlyValid() const;

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

    AbstractData* choice;
    std::int32_t choiceID;

protected:
    // Typed access for generated accessors: the value of alternative id; a
    // different selection or no value is a fatal error.
    template <class T>
    T& selectionAs(std::int32_t id)
    {
        return *boost::polymorphic_downcast<T*>(checkedSelection(id));
    }
    template <class T>
    const T& selectionAs(std::int32_t id) const
    {
        return *boost::polymorphic_downcast<const T*>(checkedSelection(id));
    }
    // Selects alternative id with a new value from its descriptor and returns it.
    template <class T>
    T& selectAs(std::int32_t id)
    {
        choiceID = id;
        createSelection();
        return *boost::polymorphic_downcast<T*>(checkedSelection(id));
    }

private:
    AbstractData* checkedSelection(std::int32_t id) const
    {
        if (choiceID != id || choice == nullptr)
            unselected(id);
        return choice;
    }
    [[noreturn]] void unselected(std::int32_t id) const;
};

} // namespace ASN1
