#pragma once
// Open types: a decoded value, raw octets, or both.
#include <memory>
#include <vector>

#include "asn1/AbstractData.h"

namespace ASN1 {

class OpenData : public AbstractData {
public:
    typedef AbstractData::InfoType InfoType;
    static const InfoType theInfo;

    explicit OpenData(const InfoType* info = &theInfo) : AbstractData(info) {}
    // Takes ownership of data.
    OpenData(AbstractData* data, const InfoType* info = &theInfo) : AbstractData(info), data(data) {}
    OpenData(const OpenData& other);
    OpenData& operator=(const OpenData& other);
    static AbstractData* create(const AbstractData::InfoType* info);

    bool has_data() const { return data != nullptr; }
    bool has_buf() const { return buf != nullptr; }
    AbstractData& get_data() const { return *data; }
    std::vector<char>& get_buf() const { return *buf; }
    // Takes ownership.
    void grab(AbstractData* value) { data.reset(value); }
    void set_buf(const std::vector<char>& octets) { buf.reset(new std::vector<char>(octets)); }
    void swap(OpenData& other) { data.swap(other.data); buf.swap(other.buf); }
    // Its decoded value is valid, or it holds raw octets.
    bool isValid() const { return (data && data->isValid()) || buf != nullptr; }
    bool isStrictlyValid() const { return (data && data->isStrictlyValid()) || buf != nullptr; }

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

    std::unique_ptr<AbstractData> data;
    std::unique_ptr<std::vector<char>> buf;
};

// An open type that must hold a value of typeInfo; create makes it at once.
class TypeConstrainedOpenData : public OpenData {
public:
    struct InfoType : AbstractData::InfoType {
        const AbstractData::InfoType* typeInfo;
    };

    explicit TypeConstrainedOpenData(const InfoType* info);
    static AbstractData* create(const AbstractData::InfoType* info);

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;
};

} // namespace ASN1
