#pragma once
// The program's own syslog client. Messages are formatted into fixed buffers
// and queued; a flush sends the whole queue with one system call, so a busy
// daemon pays one call per stream flush rather than one per line.
//
// Message: "<pri>Mmm dd hh:mm:ss ident[pid]: text", ended by a NUL. The time
// is the loop clock (Mux::seconds). The socket is "/dev/log" (under
// STALVANE_ROOT when set). On a datagram socket every message is its own
// datagram (one sendmmsg per batch); on a stream socket the batch goes out
// back to back in one sendmsg.
//
// No failure of the log path reaches the caller: a failed send reconnects
// once and sends the rest of the batch again; a message that still cannot
// be sent is dropped, or written to the console under LOG_CONS.
#include <string>

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>

class SysLogManager {
public:
    enum {
        MessageSize = 1024,   // message buffer; at most 1023 characters are kept
        BatchSize = 16384,    // batch buffer
        BatchSendBytes = 12289,
        BatchMessages = 256,
        FacilityMask = 0x3F8
    };

    SysLogManager();
    // Sends and closes nothing: the object lives until the process exits.
    ~SysLogManager() = default;
    SysLogManager(const SysLogManager&) = delete;
    SysLogManager& operator=(const SysLogManager&) = delete;

    // `ident` may be null (keep the current one); facility 0 keeps the default.
    // Connects at once only with LOG_NDELAY.
    void openlog(const char* ident, int options, int facility);
    // Closes the socket; resets identity and socket type; drops the batch unsent.
    void closelog();
    // Formats and queues one message; a level whose bit is clear in the mask
    // is dropped. Pass lines as "%s" data, never as the format.
    void syslog(int priority, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Sends the queued batch now; the batch is emptied whatever the outcome.
    // Returns the send result, or 0 when nothing was sent.
    int sendmsg();
    // Replaces the level mask (bit n: level n is logged); returns the old one.
    int setlogmask(int mask);

    int socketDescriptor() const { return mFd; }
    int socketType() const { return mType; }
    bool isConnected() const { return mConnected; }
    int queuedMessages() const { return mCount; }

private:
    void open(const char* ident, int options, int facility);
    void close();
    // Queues n bytes (NUL included); sends when the batch is full enough.
    int queue(const char* message, int n);
    // Sends the batch from the first unsent message; -1 on failure.
    int send();
    void toConsole(const char* text);

    int mType;
    int mFd = -1;
    bool mConnected = false;
    int mOptions = 0;
    std::string mIdent;
    int mFacility;
    int mMask = 255;
    sockaddr_un mAddr;
    char mMessage[MessageSize];
    char mBatch[BatchSize];
    int mBatchBytes = 0;
    msghdr mHeader;
    iovec mIov[BatchMessages];
    mmsghdr mDatagrams[BatchMessages];
    int mCount = 0;
    int mSent = 0;         // messages of the batch already sent
    bool mPartial = false; // stream: message mSent is partly sent
};

// The process-wide client, used by ManagedSysLogStreamBuf.
extern SysLogManager syslogManager;
