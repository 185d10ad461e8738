#include "runtime/SysLogStreamBuf.h"

#include <cstring>

#include <syslog.h>

#include "runtime/SysLogManager.h"

SysLogStreamBuf::SysLogStreamBuf(int facility, int level) : mPriority(facility | level)
{
    setbuf(new char[1024], 1024);
}

SysLogStreamBuf::~SysLogStreamBuf()
{
    delete[] mBuffer;
}

std::streambuf* SysLogStreamBuf::setbuf(char_type* buffer, std::streamsize n)
{
    if (n < 2)
        return this;
    sync();
    delete[] mBuffer;
    mBuffer = buffer;
    setp(buffer, buffer + n - 1);
    return this;
}

int SysLogStreamBuf::sync()
{
    char* const begin = pbase();
    if (begin == nullptr)
        return 0;
    char* const end = pptr();
    *end = '\0';
    if (std::memchr(begin, '\n', static_cast<size_t>(end - begin)) != nullptr) {
        // Every LF ends a message, empty ones included; a non-empty rest
        // after the last LF is a message of its own.
        char* piece = begin;
        while (char* lf = static_cast<char*>(std::memchr(piece, '\n', static_cast<size_t>(end - piece)))) {
            *lf = '\0';
            message(piece);
            piece = lf + 1;
        }
        if (piece < end)
            message(piece);
    } else if (end == epptr()) {
        message(begin);
    } else {
        return 0;
    }
    setp(begin, epptr());
    flushed();
    return 0;
}

SysLogStreamBuf::int_type SysLogStreamBuf::overflow(int_type c)
{
    sync();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return 0;
    if (pptr() == nullptr || pptr() == epptr())
        return traits_type::eof();
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

void SysLogStreamBuf::message(const char* text)
{
    ::syslog(mPriority, "%s", text);
}

ManagedSysLogStreamBuf::ManagedSysLogStreamBuf(int facility, int level)
    : SysLogStreamBuf(facility, level)
{
    setbuf(new char[16384], 16384);
}

void ManagedSysLogStreamBuf::message(const char* text)
{
    syslogManager.syslog(priority(), "%s", text);
}

void ManagedSysLogStreamBuf::flushed()
{
    syslogManager.sendmsg();
}
