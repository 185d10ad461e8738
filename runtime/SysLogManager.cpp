#include "runtime/SysLogManager.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include "runtime/FixedPath.h"
#include "runtime/Mux.h"

SysLogManager syslogManager;

namespace {

const char DefaultIdent[] = "syslog-vq";

// Appends to a fixed buffer as far as room remains (one byte kept for the NUL).
class Writer {
public:
    Writer(char* buffer, int size) : mBuffer(buffer), mSize(size) { mBuffer[0] = '\0'; }

    int length() const { return mLength; }
    int room() const { return mSize - mLength; }
    char* end() { return mBuffer + mLength; }

    // Accounts for what vsnprintf/strftime wrote at end(); `wanted` may exceed the room.
    void advance(int wanted)
    {
        if (wanted > 0)
            mLength += wanted < room() ? wanted : room() - 1;
    }
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list ap;
        va_start(ap, format);
        advance(std::vsnprintf(end(), room(), format, ap));
        va_end(ap);
    }

private:
    char* mBuffer;
    int mSize;
    int mLength = 0;
};

} // namespace

SysLogManager::SysLogManager() : mType(SOCK_DGRAM), mIdent(DefaultIdent), mFacility(LOG_USER)
{
    std::memset(&mAddr, 0, sizeof mAddr);
    std::memset(&mHeader, 0, sizeof mHeader);
    std::memset(mDatagrams, 0, sizeof mDatagrams);
    mHeader.msg_iov = mIov;
    for (int i = 0; i < BatchMessages; ++i) {
        mDatagrams[i].msg_hdr.msg_iov = &mIov[i];
        mDatagrams[i].msg_hdr.msg_iovlen = 1;
    }
}

void SysLogManager::openlog(const char* ident, int options, int facility)
{
    open(ident, options, facility);
}

void SysLogManager::closelog()
{
    close();
    mIdent = DefaultIdent;
    mType = SOCK_DGRAM;
    mBatchBytes = 0;
    mCount = 0;
    mSent = 0;
    mPartial = false;
}

int SysLogManager::setlogmask(int mask)
{
    int old = mMask;
    mMask = mask;
    return old;
}

void SysLogManager::open(const char* ident, int options, int facility)
{
    if (ident != nullptr)
        mIdent = ident;
    mOptions = options;
    if (facility != 0 && (facility & ~FacilityMask) == 0)
        mFacility = facility;

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (mFd < 0) {
            std::string path = fixedPath("/dev/log");
            std::memset(&mAddr, 0, sizeof mAddr);
            mAddr.sun_family = AF_UNIX;
            std::strncpy(mAddr.sun_path, path.c_str(), sizeof mAddr.sun_path - 1);
            if (mOptions & LOG_NDELAY) {
                mFd = ::socket(AF_UNIX, mType | SOCK_CLOEXEC, 0);
                if (mFd < 0)
                    return;
            }
        }
        if (mFd < 0 || mConnected)
            return;
        if (::connect(mFd, reinterpret_cast<sockaddr*>(&mAddr), sizeof mAddr) == 0) {
            mConnected = true;
            return;
        }
        const int error = errno;
        ::close(mFd);
        mFd = -1;
        if (error != EPROTOTYPE)
            return;
        // The log socket is of the other kind; that kind stays in use.
        mType = mType == SOCK_DGRAM ? SOCK_STREAM : SOCK_DGRAM;
    }
}

void SysLogManager::close()
{
    if (mConnected) {
        ::close(mFd);
        mFd = -1;
        mConnected = false;
    }
}

void SysLogManager::syslog(int priority, const char* format, ...)
{
    if ((mMask & (1 << (priority & 7))) == 0)
        return;
    if ((priority & FacilityMask) == 0)
        priority |= mFacility;

    Writer msg(mMessage, MessageSize);
    msg.printf("<%d>", priority);
    std::time_t now = Mux::seconds();
    struct tm tm;
    if (localtime_r(&now, &tm) != nullptr)
        msg.advance(static_cast<int>(std::strftime(msg.end(), msg.room(), "%h %e %T ", &tm)));
    const int afterStamp = msg.length();
    if (!mIdent.empty())
        msg.printf("%s", mIdent.c_str());
    if (mOptions & LOG_PID)
        msg.printf("[%d]", static_cast<int>(::getpid()));
    if (!mIdent.empty())
        msg.printf(": ");
    va_list ap;
    va_start(ap, format);
    msg.advance(std::vsnprintf(msg.end(), msg.room(), format, ap));
    va_end(ap);

    if (mOptions & LOG_PERROR) {
        iovec v[2];
        v[0].iov_base = mMessage + afterStamp;
        v[0].iov_len = static_cast<size_t>(msg.length() - afterStamp);
        v[1].iov_base = const_cast<char*>("\n");
        v[1].iov_len = 1;
        const bool endsWithLf = msg.length() > afterStamp && mMessage[msg.length() - 1] == '\n';
        ssize_t ignored = ::writev(STDERR_FILENO, v, endsWithLf ? 1 : 2);
        (void)ignored;
    }

    // A failed send on a live connection reconnects once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!mConnected)
            open(nullptr, mOptions | LOG_NDELAY, 0);
        if (!mConnected)
            break;
        if (queue(mMessage, msg.length() + 1) >= 0)
            return;
        close();
    }
    if (mOptions & LOG_CONS)
        toConsole(mMessage + afterStamp);
}

void SysLogManager::toConsole(const char* text)
{
    int fd = ::open(fixedPath("/dev/console").c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    dprintf(fd, "%s\r\n", text);
    ::close(fd);
}

// queue() sends as soon as a limit is reached, so it always starts below
// both and the next message fits.
static_assert(SysLogManager::BatchSendBytes - 1 + SysLogManager::MessageSize <= SysLogManager::BatchSize,
              "a message must fit a batch that is below its send limit");

int SysLogManager::queue(const char* message, int n)
{
    std::memcpy(mBatch + mBatchBytes, message, static_cast<size_t>(n));
    mIov[mCount].iov_base = mBatch + mBatchBytes;
    mIov[mCount].iov_len = static_cast<size_t>(n);
    mBatchBytes += n;
    ++mCount;
    if (mCount >= BatchMessages || mBatchBytes >= BatchSendBytes)
        return sendmsg();
    return 0;
}

int SysLogManager::sendmsg()
{
    if (mCount == 0 || mFd < 0)
        return 0;
    int result = send();
    if (result < 0) {
        // The log daemon may have restarted: the old connection leads
        // nowhere. Reconnect once and send what is left of the batch.
        close();
        open(nullptr, mOptions | LOG_NDELAY, 0);
        if (mConnected)
            result = send();
    }
    mBatchBytes = 0;
    mCount = 0;
    mSent = 0;
    mPartial = false;
    return result;
}

int SysLogManager::send()
{
    if (mType == SOCK_DGRAM) {
        // Each message is its own datagram.
        while (mSent < mCount) {
            int n = ::sendmmsg(mFd, mDatagrams + mSent, static_cast<unsigned>(mCount - mSent),
                               MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return -1;
            }
            mSent += n;
        }
        return mBatchBytes;
    }

    // Connected stream: no destination address. A message cut by a failure
    // is not resumed on a new connection, where its tail would be garbage.
    if (mPartial) {
        ++mSent;
        mPartial = false;
    }
    mHeader.msg_name = nullptr;
    mHeader.msg_namelen = 0;
    while (mSent < mCount) {
        mHeader.msg_iov = mIov + mSent;
        mHeader.msg_iovlen = static_cast<size_t>(mCount - mSent);
        ssize_t n = ::sendmsg(mFd, &mHeader, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        size_t left = static_cast<size_t>(n);
        while (mSent < mCount && left >= mIov[mSent].iov_len) {
            left -= mIov[mSent].iov_len;
            ++mSent;
        }
        mPartial = left > 0;
        if (mPartial) {
            mIov[mSent].iov_base = static_cast<char*>(mIov[mSent].iov_base) + left;
            mIov[mSent].iov_len -= left;
        }
    }
    return mBatchBytes;
}
