#include "runtime/SysLogManager.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <syslog.h>
#include <unistd.h>

#include "runtime/Fd.h"
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

// "<pri>stamp ident[pid]: "; returns where the part after the time stamp starts.
int writeHeader(Writer& msg, int priority, const std::string& ident, int options)
{
    msg.printf("<%d>", priority);
    std::time_t now = Mux::seconds();
    struct tm tm;
    if (localtime_r(&now, &tm) != nullptr)
        msg.advance(static_cast<int>(std::strftime(msg.end(), msg.room(), "%h %e %T ", &tm)));
    const int afterStamp = msg.length();
    if (!ident.empty())
        msg.printf("%s", ident.c_str());
    if (options & LOG_PID)
        msg.printf("[%d]", static_cast<int>(::getpid()));
    if (!ident.empty())
        msg.printf(": ");
    return afterStamp;
}

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

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
    mWritable.Bind("SysLogManager::OnWritable", &SysLogManager::OnWritable, this);
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
    mLost = 0;
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
                // Non-blocking, so that connect never waits for a busy log
                // daemon; the sends say MSG_DONTWAIT themselves.
                mFd = ::socket(AF_UNIX, mType | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
                if (mFd < 0)
                    return;
            }
        }
        if (mFd < 0 || mConnected)
            return;
        if (::connect(mFd, reinterpret_cast<sockaddr*>(&mAddr), sizeof mAddr) == 0) {
            // In daemon mode descriptors 1 and 2 share this socket, and
            // children inherit them: their raw writes keep blocking.
            BlockMode(mFd);
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
    mWritable.Release();
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
    const int afterStamp = writeHeader(msg, priority, mIdent, mOptions);
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
        if (queue(mMessage, msg.length() + 1, priority & FacilityMask) >= 0)
            return;
        // Counted with its failed batch; it is tried once more below.
        --mLost;
        close();
    }
    ++mLost;
    if (mOptions & LOG_CONS)
        toConsole(mMessage + afterStamp);
}

void SysLogManager::toConsole(const char* text)
{
    int fd = ::open(fixedPath("/dev/console").c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    dprintf(fd, "%s\r\n", text);
    ::close(fd);
}

bool SysLogManager::fits(int bytes, int messages) const
{
    return mBatchBytes + bytes <= BatchSize && mCount + messages <= BatchMessages;
}

void SysLogManager::append(const char* message, int n, unsigned weight)
{
    std::memcpy(mBatch + mBatchBytes, message, static_cast<size_t>(n));
    mIov[mCount].iov_base = mBatch + mBatchBytes;
    mIov[mCount].iov_len = static_cast<size_t>(n);
    mWeight[mCount] = weight;
    mBatchBytes += n;
    ++mCount;
}

int SysLogManager::lossReport(int facility)
{
    if (mLost == 0)
        return 0;
    Writer report(mReport, MessageSize);
    writeHeader(report, facility | LOG_ERR, mIdent, mOptions);
    report.printf("SysLogManager: %u messages lost", mLost);
    return report.length() + 1;
}

// queue() sends as soon as a limit is reached, so while the socket takes
// everything it starts below both and the next message fits.
static_assert(SysLogManager::BatchSendBytes - 1 + SysLogManager::MessageSize <= SysLogManager::BatchSize,
              "a message must fit a batch that is below its send limit");

int SysLogManager::queue(const char* message, int n, int facility)
{
    // A loss is reported right before the first message queued after it.
    int report = lossReport(facility);
    if (!fits(report + n, report > 0 ? 2 : 1)) {
        // Left over from a full socket: make room as far as it takes it now.
        sendmsg();
        report = lossReport(facility);
    }
    if (!fits(report + n, report > 0 ? 2 : 1)) {
        ++mLost;
        return 0;
    }
    if (report > 0) {
        append(mReport, report, mLost);
        mLost = 0;
    }
    append(message, n, 1);
    if (mCount >= BatchMessages || mBatchBytes >= BatchSendBytes)
        return sendmsg();
    return 0;
}

int SysLogManager::sendmsg()
{
    if (mSent == mCount || mFd < 0)
        return 0;
    Outcome outcome = send();
    if (outcome == Failed) {
        // The log daemon may have restarted: the old connection leads
        // nowhere. Reconnect once and send what is left of the batch; a
        // message cut on the old connection is not resumed on the new one,
        // where its tail would be garbage.
        if (mPartial) {
            mLost += mWeight[mSent++];
            mPartial = false;
        }
        close();
        open(nullptr, mOptions | LOG_NDELAY, 0);
        outcome = mConnected ? send() : Failed;
    }
    const int bytes = mBatchBytes;
    if (outcome == Failed) {
        while (mSent < mCount)
            mLost += mWeight[mSent++];
        mPartial = false;
    }
    keepRest();
    return outcome == Sent ? bytes : outcome == Full ? 0 : -1;
}

SysLogManager::Outcome SysLogManager::send()
{
    if (mType == SOCK_DGRAM) {
        // Each message is its own datagram.
        while (mSent < mCount) {
            int n = ::sendmmsg(mFd, mDatagrams + mSent, static_cast<unsigned>(mCount - mSent),
                               MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return wouldBlock(errno) ? Full : Failed;
            }
            mSent += n;
        }
        return Sent;
    }

    // Connected stream: no destination address.
    mHeader.msg_name = nullptr;
    mHeader.msg_namelen = 0;
    while (mSent < mCount) {
        mHeader.msg_iov = mIov + mSent;
        mHeader.msg_iovlen = static_cast<size_t>(mCount - mSent);
        ssize_t n = ::sendmsg(mFd, &mHeader, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return wouldBlock(errno) ? Full : Failed;
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
    return Sent;
}

void SysLogManager::keepRest()
{
    if (mSent == mCount) {
        mBatchBytes = 0;
        mCount = 0;
        mSent = 0;
        mPartial = false;
        mWritable.Release();
        return;
    }
    // What is left is contiguous: from the unsent part of message mSent to
    // the end of the batch.
    char* rest = static_cast<char*>(mIov[mSent].iov_base);
    const int shift = static_cast<int>(rest - mBatch);
    std::memmove(mBatch, rest, static_cast<size_t>(mBatchBytes - shift));
    for (int i = mSent; i < mCount; ++i) {
        mIov[i - mSent].iov_base = static_cast<char*>(mIov[i].iov_base) - shift;
        mIov[i - mSent].iov_len = mIov[i].iov_len;
        mWeight[i - mSent] = mWeight[i];
    }
    mBatchBytes -= shift;
    mCount -= mSent;
    mSent = 0;
    if (!mWritable.IsActive()) {
        Fd socket(mFd);
        mWritable.Schedule(socket, POLLOUT);
        socket.release();
    }
}

void SysLogManager::OnWritable(int, short revents)
{
    if (revents != 0)
        sendmsg();
}
