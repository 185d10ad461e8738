#pragma once
// Stream buffers that cut what is written to a std::ostream into lines and
// log each line as one syslog message (`facility` already shifted into
// place, e.g. LOG_DAEMON; `level` 0..7).
//
// A line is handed on at an LF; text without LF waits in the put area until
// an LF, a flush of a full area or an overflow. A line longer than the put
// area goes out in pieces, each its own message. Lines are passed as data,
// never as a printf format.
#include <memory>
#include <streambuf>

class SysLogStreamBuf : public std::streambuf {
public:
    SysLogStreamBuf(int facility, int level);
    ~SysLogStreamBuf() override;

    int priority() const { return mPriority; }

protected:
    // Takes ownership of `buffer` (allocated with new[]); one byte of it stays
    // free for the NUL written after the text. n < 2 changes nothing.
    std::streambuf* setbuf(char_type* buffer, std::streamsize n) override;
    int sync() override;
    int_type overflow(int_type c) override;

    // One line (NUL-terminated) to log; the C library's syslog here.
    virtual void message(const char* text);
    // Called once after a sync that handed at least one line on.
    virtual void flushed() {}

private:
    int mPriority;
    char* mBuffer = nullptr;
};

// The same over the process-wide SysLogManager, with a 16384-byte area:
// each sync that hands lines on costs one send for all of them.
class ManagedSysLogStreamBuf : public SysLogStreamBuf {
public:
    ManagedSysLogStreamBuf(int facility, int level);

protected:
    void message(const char* text) override;
    void flushed() override;
};
