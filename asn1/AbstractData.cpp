#include "asn1/AbstractData.h"

#include <iostream>
#include <sstream>

#include "asn1/AVNDecoder.h"
#include "asn1/AVNEncoder.h"
#include "asn1/ValidChecker.h"

namespace ASN1 {

int lexicographic_compare_bytes(const char* a, const char* aEnd, const char* b, const char* bEnd)
{
    for (; a != aEnd && b != bEnd; ++a, ++b) {
        int diff = static_cast<unsigned char>(*a) - static_cast<unsigned char>(*b);
        if (diff != 0)
            return diff;
    }
    if (a == aEnd && b == bEnd)
        return 0;
    return a != aEnd ? 1 : -1;
}

std::ios_base::iostate AbstractData::print_on(std::ostream& strm) const
{
    AVNEncoder printer(strm);
    return accept(printer) ? std::ios_base::goodbit : std::ios_base::failbit;
}

std::string AbstractData::asValueNotation() const
{
    std::ostringstream strm;
    print_on(strm);
    return strm.str();
}

bool AbstractData::isValid() const
{
    ValidChecker checker;
    return accept(checker);
}

bool AbstractData::isStrictlyValid() const
{
    StrictlyValidChecker checker;
    return accept(checker);
}

std::ostream& operator<<(std::ostream& strm, const AbstractData& value)
{
    if (strm.fail())
        return strm;
    // A value that cannot be printed must not silence the process's log
    // streams: the standard streams keep their state, others get the error.
    const bool logStream = &strm == &std::cerr || &strm == &std::clog || &strm == &std::cout;
    std::ios_base::iostate state = std::ios_base::goodbit;
    {
        std::ostream::sentry guard(strm);
        if (guard) {
            try {
                state = value.print_on(strm);
            } catch (...) {
                // The bad state; the exception goes on only when the
                // stream's exception mask asks for it.
                if (!logStream) {
                    try {
                        strm.setstate(std::ios_base::badbit);
                    } catch (...) {
                    }
                }
                if (strm.exceptions() & std::ios_base::badbit)
                    throw;
            }
        }
    }
    if (state != std::ios_base::goodbit && !logStream)
        strm.setstate(state);
    return strm;
}

std::ios_base::iostate AbstractData::get_from(std::istream& strm)
{
    AVNDecoder parser(strm);
    return accept(parser) ? std::ios_base::goodbit : std::ios_base::failbit;
}

bool AbstractData::setFromValueNotation(const std::string& text)
{
    std::istringstream strm(text);
    AVNDecoder parser(strm);
    if (!accept(parser))
        return false;
    // Nothing but blanks may follow the value.
    strm >> std::ws;
    return strm.eof();
}

std::istream& operator>>(std::istream& strm, AbstractData& value)
{
    if (strm.fail())
        return strm;
    std::ios_base::iostate state = std::ios_base::goodbit;
    {
        std::istream::sentry guard(strm);
        if (guard) {
            try {
                state = value.get_from(strm);
            } catch (...) {
                // The bad state; the exception goes on only when the
                // stream's exception mask asks for it.
                try {
                    strm.setstate(std::ios_base::badbit);
                } catch (...) {
                }
                if (strm.exceptions() & std::ios_base::badbit)
                    throw;
            }
        }
    }
    if (state != std::ios_base::goodbit)
        strm.setstate(state);
    return strm;
}

} // namespace ASN1
