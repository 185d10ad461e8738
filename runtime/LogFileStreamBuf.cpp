#include "runtime/LogFileStreamBuf.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "runtime/Mux.h"

namespace {

bool localNow(struct tm& tm, long& usec)
{
    Mux::timeval now;
    Mux::mux_gettimeofday(now);
    usec = now.usec;
    std::time_t t = now.sec;
    return localtime_r(&t, &tm) != nullptr;
}

} // namespace

LogFileStreamBuf::LogFileStreamBuf(const std::string& directory)
    : mFile(new std::filebuf), mDirectory(directory)
{
    setbuf(new char[16], 16);
    NewFile();
}

LogFileStreamBuf::~LogFileStreamBuf()
{
    delete[] mBuffer;
}

void LogFileStreamBuf::NewFile()
{
    struct tm tm;
    long usec;
    if (!localNow(tm, usec))
        std::memset(&tm, 0, sizeof tm);
    open(tm);
}

void LogFileStreamBuf::open(const struct tm& tm)
{
    mFile->close();
    mHour = tm.tm_hour;
    mYear = tm.tm_year;
    mYearDay = tm.tm_yday;
    char stamp[32];
    if (std::strftime(stamp, sizeof stamp, "%Y_%m_%d-%H", &tm) == 0)
        stamp[0] = '\0';
    const std::string name = mDirectory + "/" + stamp + ".log";
    mFile->open(name.c_str(), std::ios::out | std::ios::app);
}

std::streambuf* LogFileStreamBuf::setbuf(char_type* buffer, std::streamsize n)
{
    if (n < 2)
        return this;
    sync();
    delete[] mBuffer;
    mBuffer = buffer;
    setp(buffer, buffer + n);
    return this;
}

int LogFileStreamBuf::sync()
{
    const char* p = pbase();
    if (p == nullptr)
        return 0;
    const char* const end = pptr();
    setp(pbase(), epptr());

    if (mContinuation) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (lf == nullptr) {
            write(p, end - p);
            return 0;
        }
        write(p, lf + 1 - p);
        mContinuation = false;
        p = lf + 1;
    }
    if (p == end)
        return 0;

    struct tm tm;
    std::memset(&tm, 0, sizeof tm);
    long usec = 0;
    if (localNow(tm, usec) &&
        (tm.tm_hour != mHour || tm.tm_yday != mYearDay || tm.tm_year != mYear))
        open(tm);

    char prefix[32];
    const int n = std::snprintf(prefix, sizeof prefix, "%02d:%02d:%05ld: ", tm.tm_min, tm.tm_sec, usec);
    while (p < end) {
        write(prefix, n);
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (lf == nullptr) {
            write(p, end - p);
            mContinuation = true;
            return 0;
        }
        write(p, lf + 1 - p);
        p = lf + 1;
    }
    return 0;
}

LogFileStreamBuf::int_type LogFileStreamBuf::overflow(int_type c)
{
    sync();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return 0;
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}
