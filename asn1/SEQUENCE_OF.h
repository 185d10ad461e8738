#pragma once
// SEQUENCE OF / SET OF values: a vector of owned element pointers (never null).
//
// SEQUENCE_OF<T> and SET_OF<T> are the typed classes; each instance has its
// own constant theInfo whose create builds that instance and whose
// elementInfo is &T::theInfo, so elements made by a decoder are T objects.
#include <cstddef>
#include <iterator>
#include <vector>

#include <boost/polymorphic_cast.hpp>

#include "asn1/AbstractData.h"

namespace ASN1 {

class SEQUENCE_OF_Base : public ConstrainedObject {
public:
    struct InfoType : ConstrainedObject::InfoType {     // limits apply to the count
        const AbstractData::InfoType* elementInfo;
    };
    typedef std::vector<AbstractData*> Container;

    explicit SEQUENCE_OF_Base(const InfoType* info) : ConstrainedObject(info) {}
    SEQUENCE_OF_Base(const SEQUENCE_OF_Base& other);
    SEQUENCE_OF_Base& operator=(const SEQUENCE_OF_Base& other);
    ~SEQUENCE_OF_Base() override;
    static AbstractData* create(const AbstractData::InfoType* info);

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }
    std::size_t size() const { return container.size(); }
    bool empty() const { return container.empty(); }
    // Growing appends elements made by elementInfo; shrinking destroys.
    void resize(std::size_t count);
    void clear();
    void swap(SEQUENCE_OF_Base& other) { container.swap(other.container); }
    // Inserts count clones of value.
    void insert(Container::iterator pos, std::size_t count, const AbstractData& value);
    // Inserts clones of [first, last).
    void insert(Container::iterator pos, Container::const_iterator first, Container::const_iterator last);
    // Destroys and removes [first, last).
    Container::iterator erase(Container::iterator first, Container::iterator last);
    // The count within the constraint (the upper limit ignored when it is
    // extendable) and every element valid.
    bool isValid() const;
    // The count within both limits and every element strictly valid.
    bool isStrictlyValid() const;

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

    Container container;
};

// Iterator over the elements typed as T.
template <class T, class BaseIterator>
class SequenceOfIterator {
public:
    typedef std::random_access_iterator_tag iterator_category;
    typedef T value_type;
    typedef std::ptrdiff_t difference_type;
    typedef T* pointer;
    typedef T& reference;

    SequenceOfIterator() = default;
    explicit SequenceOfIterator(BaseIterator it) : it_(it) {}
    template <class U, class OtherIterator>
    SequenceOfIterator(const SequenceOfIterator<U, OtherIterator>& other) : it_(other.base()) {}

    BaseIterator base() const { return it_; }
    T& operator*() const { return *boost::polymorphic_downcast<T*>(*it_); }
    T* operator->() const { return boost::polymorphic_downcast<T*>(*it_); }
    T& operator[](difference_type n) const { return *boost::polymorphic_downcast<T*>(it_[n]); }
    SequenceOfIterator& operator++() { ++it_; return *this; }
    SequenceOfIterator operator++(int) { SequenceOfIterator old(*this); ++it_; return old; }
    SequenceOfIterator& operator--() { --it_; return *this; }
    SequenceOfIterator operator--(int) { SequenceOfIterator old(*this); --it_; return old; }
    SequenceOfIterator& operator+=(difference_type n) { it_ += n; return *this; }
    SequenceOfIterator& operator-=(difference_type n) { it_ -= n; return *this; }
    SequenceOfIterator operator+(difference_type n) const { return SequenceOfIterator(it_ + n); }
    SequenceOfIterator operator-(difference_type n) const { return SequenceOfIterator(it_ - n); }
    difference_type operator-(const SequenceOfIterator& other) const { return it_ - other.it_; }
    bool operator==(const SequenceOfIterator& other) const { return it_ == other.it_; }
    bool operator!=(const SequenceOfIterator& other) const { return it_ != other.it_; }
    bool operator<(const SequenceOfIterator& other) const { return it_ < other.it_; }

private:
    BaseIterator it_;
};

template <class T, class Constraint = EmptyConstraint>
class SEQUENCE_OF : public SEQUENCE_OF_Base {
public:
    typedef SequenceOfIterator<T, Container::iterator> iterator;
    typedef SequenceOfIterator<const T, Container::const_iterator> const_iterator;
    typedef T value_type;
    static const InfoType theInfo;

    explicit SEQUENCE_OF(const InfoType* info = &theInfo) : SEQUENCE_OF_Base(info) {}
    static AbstractData* create(const AbstractData::InfoType* info)
    {
        return new SEQUENCE_OF(static_cast<const InfoType*>(info));
    }

    iterator begin() { return iterator(container.begin()); }
    iterator end() { return iterator(container.end()); }
    const_iterator begin() const { return const_iterator(container.begin()); }
    const_iterator end() const { return const_iterator(container.end()); }
    // No bound check.
    T& operator[](std::size_t i) { return *boost::polymorphic_downcast<T*>(container[i]); }
    const T& operator[](std::size_t i) const { return *boost::polymorphic_downcast<const T*>(container[i]); }
    // Appends a clone; the caller keeps its own object.
    void push_back(const T& element) { container.push_back(element.clone()); }
    // Destroys the element.
    iterator erase(iterator it) { return iterator(SEQUENCE_OF_Base::erase(it.base(), it.base() + 1)); }
    iterator erase(iterator first, iterator last) { return iterator(SEQUENCE_OF_Base::erase(first.base(), last.base())); }

    AbstractData* do_clone() const override { return new SEQUENCE_OF(*this); }
};

template <class T, class Constraint>
const typename SEQUENCE_OF<T, Constraint>::InfoType SEQUENCE_OF<T, Constraint>::theInfo = {
    {{&SEQUENCE_OF::create, 16}, Constraint::type, Constraint::lowerLimit, Constraint::upperLimit},
    &T::theInfo};

template <class T, class Constraint = EmptyConstraint>
class SET_OF : public SEQUENCE_OF<T, Constraint> {
public:
    typedef typename SEQUENCE_OF<T, Constraint>::InfoType InfoType;
    static const InfoType theInfo;

    explicit SET_OF(const InfoType* info = &theInfo) : SEQUENCE_OF<T, Constraint>(info) {}
    static AbstractData* create(const AbstractData::InfoType* info)
    {
        return new SET_OF(static_cast<const InfoType*>(info));
    }

    AbstractData* do_clone() const override { return new SET_OF(*this); }
};

template <class T, class Constraint>
const typename SET_OF<T, Constraint>::InfoType SET_OF<T, Constraint>::theInfo = {
    {{&SET_OF::create, 17}, Constraint::type, Constraint::lowerLimit, Constraint::upperLimit},
    &T::theInfo};

} // namespace ASN1
