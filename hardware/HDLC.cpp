#include "hardware/HDLC.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>

#include "board/BoardDevice.h"
#include "board/MccRecords.h"
#include "control/TraceCtl.h"
#include "hardware/HwMux.h"
#include "protocol/Packet.h"
#include "runtime/ExtStream.h"

namespace {

const char* const kDevice = "/dev/mcc/ctl";

// Takes a frame while the packet pool is exhausted; single-threaded process.
unsigned char g_discard[Packet::packet_max_size];

// Tells the code that called a user whether the user deleted the channel.
// Guards live on the stack around user calls, innermost first in one list of
// their own; a channel's destructor marks every guard of that channel. The
// channel holds no pointer to a guard, and each guard leaves the list when its
// scope ends, whatever became of the channel.
class DeleteGuard {
public:
    explicit DeleteGuard(const HDLC& channel) : channel_(&channel), next_(innermost_) { innermost_ = this; }
    ~DeleteGuard() { innermost_ = next_; }
    DeleteGuard(const DeleteGuard&) = delete;
    DeleteGuard& operator=(const DeleteGuard&) = delete;

    bool deleted() const { return channel_ == nullptr; }

    static void channelDeleted(const HDLC& channel)
    {
        for (DeleteGuard* guard = innermost_; guard != nullptr; guard = guard->next_)
            if (guard->channel_ == &channel)
                guard->channel_ = nullptr;
    }

private:
    static inline DeleteGuard* innermost_ = nullptr;
    const HDLC* channel_;   // null once the channel was deleted
    DeleteGuard* next_;
};

} // namespace

HDLC::HDLC()
{
    unbind();
}

HDLC::HDLC(BoardDevice& board, HwMux& mux) : m_board(&board), m_mux(&mux)
{
    unbind();
}

HDLC::~HDLC()
{
    DeleteGuard::channelDeleted(*this);
}

void HDLC::unbind()
{
    class Stub : public Notify {
    public:
        void on_hdlc_receive(Packet&) override {}
        void on_hdlc_error(Cause::Type) override {}
        void on_hdlc_ready() override {}
    };
    static Stub stub;
    m_notify = &stub;
}

void HDLC::bind(Notify* user)
{
    if (user == nullptr)
        unbind();
    else
        m_notify = user;
}

BoardDevice& HDLC::board()
{
    if (m_board == nullptr)
        m_board = &BoardDevice::get();
    return *m_board;
}

HwMux& HDLC::mux()
{
    if (m_mux == nullptr)
        m_mux = &HwMux::instance();
    return *m_mux;
}

void HDLC::PutHeader(std::ostream& os) const
{
    os << "hdlc [" << m_index << "/" << params.owner2 << "]: ";
}

bool HDLC::activate()
{
    deactivate();
    m_stats = Statistics();

    std::int32_t code = 0;
    if (!Mcc::modeCode(params.mode, code)) {
        std::cerr << ext::header(this) << "unsupported mode " << params.mode << std::endl;
        return false;
    }
    int fd = board().open(kDevice, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "fail to open MCC device: " << std::strerror(error) << std::endl;
        return false;
    }
    Mcc::AllocateRecord settings;
    settings.mode = code;
    Mcc::AllocateRecord::Bytes record = settings.encode();
    if (board().ioctl(fd, MCC_ALLOCATE, record.data(), record.size()) < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "MCC_ALLOCATE fail: " << std::strerror(error) << std::endl;
        board().close(fd);
        return false;
    }
    int slot = board().ioctlValue(fd, MCC_TIMESLOT, 0);
    if (slot < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "MCC_TIMESLOT fail: " << std::strerror(error) << std::endl;
        board().close(fd);
        return false;
    }

    // The controller sends to the bus slot of the mode and listens to tdm.
    mux().Connect(slot, params.mode != 2 ? params.tdm : params.tdm2);
    mux().Connect(params.tdm, slot);

    // Bound once: a user may activate again from inside this very callback.
    if (!m_event.isBound())
        m_event.Bind("HDLC::OnEvent", &HDLC::on_event, this);
    m_event.Schedule(Fd(fd), POLLIN | POLLOUT);
    if (!m_event.IsActive()) {
        // The event's duplicate could not be made; the original is closed.
        int error = errno;
        std::cerr << ext::header(this) << "fail to watch MCC device: " << std::strerror(error) << std::endl;
        return false;
    }
    m_ready = false;
    if (traces.hdlc)
        std::clog << ext::header(this) << "activated" << std::endl;
    return true;
}

void HDLC::deactivate()
{
    m_event.Release();
    m_ready = false;
    if (traces.hdlc)
        std::clog << ext::header(this) << "deactivated" << std::endl;
}

bool HDLC::hdlc_transmit(Packet& packet)
{
    if (packet.empty())
        return true;
    if (!is_open()) {
        ++m_stats.txDiscard;
        return false;
    }
    if (traces.hdlc)
        std::clog << "HDLC[" << m_index << "]: tx " << packet.text() << std::endl;
    for (;;) {
        if (board().write(m_event.getFd(), packet.data(), packet.length()) >= 0) {
            ++m_stats.txSU;
            return true;
        }
        int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            // The user keeps the frame and waits for on_hdlc_ready().
            m_ready = false;
            m_event.setEvents(POLLIN | POLLOUT);
            return false;
        }
        ++m_stats.txError;
        return false;
    }
}

void HDLC::on_event(int, short revents)
{
    DeleteGuard guard(*this);
    if ((revents & POLLIN) != 0) {
        do_read();
        if (guard.deleted())
            return;
    }
    // A channel that a user closed while reading is not ready for anything.
    if ((revents & POLLOUT) != 0 && !m_ready && is_open()) {
        m_ready = true;
        m_event.setEvents(POLLIN);
        m_notify->on_hdlc_ready();
    }
}

void HDLC::do_read()
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "do_read" << std::endl;
    if (!is_open()) {
        std::clog << ext::header(this) << "do_read: !m_event.IsActive()" << std::endl;
        return;
    }
    DeleteGuard guard(*this);
    for (;;) {
        // One fresh block per frame, all of it tail room. Without a block the
        // frame is still read, and dropped.
        Packet packet;
        unsigned char* buffer = g_discard;
        std::size_t room = sizeof g_discard;
        try {
            packet.reserve_head(0);
            buffer = packet.put(0);
            room = packet.tailroom();
        } catch (const std::bad_alloc&) {
            packet = Packet();
        }
        ssize_t n;
        do
            n = board().read(m_event.getFd(), buffer, room);
        while (n < 0 && errno == EINTR);

        if (n == 0)
            return;     // nothing more this turn
        if (n < 0) {
            int error = errno;
            if (error == EAGAIN || error == EWOULDBLOCK)
                return;
            std::cerr << ext::header(this) << "read error: " << std::strerror(error) << std::endl;
            deactivate();
            m_notify->on_hdlc_error(Notify::Cause::ReadError);
            return;
        }
        if (packet.isNull()) {
            std::cerr << ext::header(this) << "packet pool exhausted, " << n << " bytes dropped" << std::endl;
            continue;
        }
        packet.put(static_cast<unsigned>(n));
        if (traces.hdlc)
            std::clog << "HDLC[" << m_index << "]: rx " << packet.text() << std::endl;
        ++m_stats.rxSU;
        m_notify->on_hdlc_receive(packet);
        // The user may have closed or deleted the channel.
        if (guard.deleted() || !is_open())
            return;
    }
}
