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
//
// Sends never wait. What a full socket does not take now stays in the batch
// and goes when the loop sees the socket writable (or at the next send); a
// message that finds the batch full is dropped and counted, and the next
// message queued is preceded by "SysLogManager: N messages lost" (level err,
// that message's facility). On a stream, a message the socket took in part
// is finished first, so every message arrives whole.
#include <string>

#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>

#include "runtime/Event.h"

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
    // Sends nothing: the object lives until the process exits.
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
    // Sends the queued batch now, as far as the socket takes it; the rest
    // stays queued. A batch that fails even after a reconnect is dropped.
    // Returns the batch's byte count when all of it went, 0 when nothing
    // was queued or some is left, -1 on failure.
    int sendmsg();
    // Replaces the level mask (bit n: level n is logged); returns the old one.
    int setlogmask(int mask);

    int socketDescriptor() const { return mFd; }
    int socketType() const { return mType; }
    bool isConnected() const { return mConnected; }
    // Messages not yet sent, whole or in part.
    int queuedMessages() const { return mCount - mSent; }

private:
    void open(const char* ident, int options, int facility);
    void close();
    enum Outcome { Sent, Full, Failed };

    // Queues n bytes (NUL included), after the loss report when messages
    // were lost; sends when the batch is full enough. A message that finds
    // no room is dropped and counted.
    int queue(const char* message, int n, int facility);
    bool fits(int bytes, int messages) const;
    // `weight`: the messages it stands for when dropped (a report: its count).
    void append(const char* message, int n, unsigned weight);
    // Formats the loss report; its size with the NUL, 0 when nothing was lost.
    int lossReport(int facility);
    // Sends from the first unsent message; never waits.
    Outcome send();
    // Moves what is left to the front of the batch and watches the socket
    // for room while anything is left.
    void keepRest();
    void OnWritable(int fd, short revents);
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
    unsigned mWeight[BatchMessages];
    mmsghdr mDatagrams[BatchMessages];
    int mCount = 0;
    int mSent = 0;         // messages of the batch already sent (or dropped)
    bool mPartial = false; // stream: message mSent is partly sent
    unsigned mLost = 0;
    char mReport[MessageSize];
    Event mWritable;       // while messages wait for room in the socket
};

// The process-wide client, used by ManagedSysLogStreamBuf.
extern SysLogManager syslogManager;
