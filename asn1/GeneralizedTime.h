#pragma once
// GeneralizedTime values and their text form "YYYYMMDDhhmmss[.fff][Z|+hhmm]".
#include <ctime>
#include <string>

#include "asn1/AbstractData.h"

namespace ASN1 {

class GeneralizedTime : public AbstractData {
public:
    typedef AbstractData::InfoType InfoType;
    static const InfoType theInfo;

    GeneralizedTime() : AbstractData(&theInfo) {}
    explicit GeneralizedTime(const InfoType* info) : AbstractData(info) {}
    explicit GeneralizedTime(const char* text);
    GeneralizedTime(int year, int month, int day, int hour, int minute, int second,
                    int millisec = 0, int mindiff = 0, bool utc = false);
    GeneralizedTime(const GeneralizedTime&) = default;
    GeneralizedTime& operator=(const GeneralizedTime& other);
    static AbstractData* create(const AbstractData::InfoType* info);

    std::string get() const;
    // Reads what get() writes; false (and no change) for a text too short or
    // badly formed.
    bool set(const char* text);
    std::time_t get_time_t() const;         // local-time conversion
    void set_time_t(std::time_t seconds);   // UTC breakdown; keeps millisec, mindiff, utc
    void swap(GeneralizedTime& other);
    // Every field in its range (hour up to 24, zone offset within 12 hours).
    bool isStrictlyValid() const;

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

    std::int32_t year = 1;
    std::int32_t month = 1;
    std::int32_t day = 1;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t millisec = 0;
    std::int32_t mindiff = 0;   // offset from UTC in minutes
    bool utc = false;
};

} // namespace ASN1
