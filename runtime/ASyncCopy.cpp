#include "runtime/ASyncCopy.h"

#include <cerrno>

#include <unistd.h>

namespace ASync {

namespace {

const short ErrorEvents = POLLERR | POLLHUP | POLLNVAL;

} // namespace

void Copy::Start(Fd src, Fd dst)
{
    mState = Status::copying;
    mSrc = std::move(src);
    mDst = std::move(dst);
    mSrcEvent.Release();
    mDstEvent.Release();
    mSrcEvent.Bind("Copy::OnSrcEvent", &Copy::OnSrcEvent, this);
    mDstEvent.Bind("Copy::OnDstEvent", &Copy::OnDstEvent, this);
    CheckBuffer();
    mSrcEvent.Schedule(mSrc, 0);
    mDstEvent.Schedule(mDst, 0);
    mError = 0;
    mCopied = 0;
    mStep = &Copy::SrcReady;
    Progress();
}

void Copy::Stop()
{
    if (mState == Status::copying && GoFlush())
        Progress();
}

void Copy::set_events(const EventsParams& params)
{
    mEvents = params;
    Complete(Status::reconfigured);
}

void Copy::set_bufsize(unsigned size)
{
    mBuffer.reset();
    mBufSize = size != 0 ? size : DefaultBufferSize;
    mBuffer.reset(new char[mBufSize]);
    Complete(Status::reconfigured);
}

void Copy::CheckBuffer()
{
    if (!mBuffer) {
        if (mBufSize == 0)
            mBufSize = DefaultBufferSize;
        mBuffer.reset(new char[mBufSize]);
    }
}

// Runs steps while they make progress. A step that ends the copy returns
// false after Complete, whose handler may have deleted this object: nothing
// here is touched after a step returns false.
void Copy::Progress()
{
    while ((this->*mStep)()) {
    }
}

bool Copy::SrcReady()
{
    errno = 0;
    ssize_t n = ::read(mSrc.get(), mBuffer.get(), mBufSize);
    if (n > 0) {
        mWrite = mBuffer.get();
        mEnd = mWrite + n;
        GoWriting();
        return true;
    }
    if (n == 0)
        return GoFlush();
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        GoReading();   // wait for the source
        return false;
    }
    if (mCopied == 0) {
        Complete(Status::failed);
        return false;
    }
    // A read error after some data ends the source like an end of file.
    return GoFlush();
}

bool Copy::DstReady()
{
    ssize_t n = ::write(mDst.get(), mWrite, static_cast<size_t>(mEnd - mWrite));
    if (n > 0) {
        mCopied += static_cast<unsigned>(n);
        mWrite += n;
        if (mWrite < mEnd)
            return true;
        if (mState == Status::draining)
            return GoFlushDst();
        GoReading();
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        GoWriting();   // wait for the destination
        return false;
    }
    mError = n == 0 ? 0 : errno;
    Complete(Status::failed);
    return false;
}

void Copy::GoWriting()
{
    mSrcEvent.setEvents(0);
    mDstEvent.setEvents(static_cast<short>(mEvents.dst));
    mStep = &Copy::DstReady;
}

void Copy::GoReading()
{
    mSrcEvent.setEvents(static_cast<short>(mEvents.src));
    mDstEvent.setEvents(0);
    mStep = &Copy::SrcReady;
}

bool Copy::GoFlush()
{
    mSrcEvent.Release();
    mSrc.reset();
    if (mStep == &Copy::DstReady) {
        mState = Status::draining;
        return true;
    }
    return GoFlushDst();
}

bool Copy::GoFlushDst()
{
    if (mEvents.flush != 0) {
        mDstEvent.setEvents(static_cast<short>(mEvents.flush));
        mStep = &Copy::NotReady;
        mState = Status::flushing;
        return true;
    }
    Complete(Status::completed);
    return false;
}

void Copy::OnSrcEvent(int, short revents)
{
    if (revents & static_cast<short>(mEvents.src)) {
        Progress();
    } else if (revents & ErrorEvents) {
        // The next read sees the end of file or the error.
        mSrcEvent.Release();
        Progress();
    }
}

void Copy::OnDstEvent(int, short revents)
{
    if (revents & ErrorEvents) {
        mError = 0;
        Complete(Status::failed);
        return;
    }
    if (mState == Status::copying || mState == Status::draining) {
        if (revents & static_cast<short>(mEvents.dst))
            Progress();
    } else if (mState == Status::flushing) {
        if (revents & static_cast<short>(mEvents.flush))
            Complete(Status::completed);
    }
}

void Copy::Complete(Status::Type status)
{
    if (mState != Status::copying && mState != Status::draining && mState != Status::flushing)
        return;
    mSrcEvent.UnBind();
    mDstEvent.UnBind();
    mState = status;
    mSrcEvent.Release();
    mDstEvent.Release();
    mSrc.reset();
    mDst.reset();
    mStep = &Copy::NotReady;
    // Last step: the handler may delete or restart this copy.
    if (mHandler != nullptr)
        mHandler->Invoke(status);
}

} // namespace ASync
