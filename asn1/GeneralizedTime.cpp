#include "asn1/GeneralizedTime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <boost/polymorphic_cast.hpp>

#include "asn1/Visitor.h"

namespace ASN1 {
namespace {

bool digits(const char* text, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

int number(const char* text, std::size_t n)
{
    int value = 0;
    for (std::size_t i = 0; i < n; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

} // namespace

const GeneralizedTime::InfoType GeneralizedTime::theInfo = {&GeneralizedTime::create, 24};

GeneralizedTime::GeneralizedTime(const char* text) : AbstractData(&theInfo)
{
    set(text);
}

GeneralizedTime::GeneralizedTime(int year, int month, int day, int hour, int minute, int second,
                                 int millisec, int mindiff, bool utc)
    : AbstractData(&theInfo), year(year), month(month), day(day), hour(hour), minute(minute),
      second(second), millisec(millisec), mindiff(mindiff), utc(utc)
{
}

GeneralizedTime& GeneralizedTime::operator=(const GeneralizedTime& other)
{
    GeneralizedTime copy(other);
    swap(copy);
    return *this;
}

AbstractData* GeneralizedTime::create(const AbstractData::InfoType* info)
{
    return new GeneralizedTime(info);
}

std::string GeneralizedTime::get() const
{
    char text[80];
    int n = std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute, second);
    if (millisec != 0)
        n += std::snprintf(text + n, sizeof text - n, ".%03d", millisec);
    if (utc) {
        std::snprintf(text + n, sizeof text - n, "Z");
    } else if (mindiff != 0) {
        // Sign first, so that offsets below one hour keep it ("-0030").
        const int magnitude = std::abs(mindiff);
        std::snprintf(text + n, sizeof text - n, "%c%02d%02d", mindiff < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    }
    return text;
}

bool GeneralizedTime::set(const char* text)
{
    const std::size_t length = std::strlen(text);
    if (length < 14 || !digits(text, 14))
        return false;
    GeneralizedTime value;
    value.year = number(text, 4);
    value.month = number(text + 4, 2);
    value.day = number(text + 6, 2);
    value.hour = number(text + 8, 2);
    value.minute = number(text + 10, 2);
    value.second = number(text + 12, 2);
    if (length > 14 && text[14] == '.') {
        // Milliseconds from the fraction, truncated.
        int fraction = 0;
        std::size_t i = 15;
        for (int scale = 100; i < length && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10)
            fraction += (text[i] - '0') * scale;
        value.millisec = fraction;
    }
    if (text[length - 1] == 'Z') {
        value.utc = true;
    } else if (length >= 19 && (text[length - 5] == '+' || text[length - 5] == '-')) {
        const char* offset = text + length - 4;
        if (!digits(offset, 4))
            return false;
        const int minutes = number(offset, 2) * 60 + number(offset + 2, 2);
        value.mindiff = text[length - 5] == '-' ? -minutes : minutes;
    }
    swap(value);
    return true;
}

std::time_t GeneralizedTime::get_time_t() const
{
    std::tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

void GeneralizedTime::set_time_t(std::time_t seconds)
{
    std::tm t = {};
    gmtime_r(&seconds, &t);
    year = t.tm_year + 1900;
    month = t.tm_mon + 1;
    day = t.tm_mday;
    hour = t.tm_hour;
    minute = t.tm_min;
    second = t.tm_sec;
}

void GeneralizedTime::swap(GeneralizedTime& other)
{
    std::swap(year, other.year);
    std::swap(month, other.month);
    std::swap(day, other.day);
    std::swap(hour, other.hour);
    std::swap(minute, other.minute);
    std::swap(second, other.second);
    std::swap(millisec, other.millisec);
    std::swap(mindiff, other.mindiff);
    std::swap(utc, other.utc);
}

bool GeneralizedTime::isStrictlyValid() const
{
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 && hour <= 24
           && minute >= 0 && minute <= 59 && second >= 0 && second <= 59 && mindiff >= -720 && mindiff <= 720;
}

int GeneralizedTime::do_compare(const AbstractData& other) const
{
    const GeneralizedTime& that = *boost::polymorphic_downcast<const GeneralizedTime*>(&other);
    const std::int32_t a[] = {year, month, day, hour, minute, second, millisec, mindiff, utc};
    const std::int32_t b[] = {that.year, that.month, that.day, that.hour, that.minute,
                              that.second, that.millisec, that.mindiff, that.utc};
    for (std::size_t i = 0; i < sizeof a / sizeof a[0]; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

AbstractData* GeneralizedTime::do_clone() const
{
    return new GeneralizedTime(*this);
}

bool GeneralizedTime::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool GeneralizedTime::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

} // namespace ASN1
