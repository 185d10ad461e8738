#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "board/MccRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimHal.h"
#include "board/sim/SimMcc.h"
#include "control/TraceCtl.h"
#include "hardware/HDLC.h"
#include "hardware/HwMux.h"
#include "protocol/Packet.h"
#include "tests/hardware/ToneDspSupport.h"

using namespace ToneDspTest;

namespace {

using Bytes = std::vector<unsigned char>;

const char* const kDevice = "/dev/mcc/ctl";
const int kSlot = SimMcc::kFirstTimeSlot;   // the first channel's controller slot

// Writes down what the channel reports, one line per call.
class User : public HDLC::Notify {
public:
    void on_hdlc_receive(Packet& packet) override
    {
        events.push_back("rx " + packet.text());
        headroom.push_back(packet.headroom());
        if (onReceive)
            onReceive();
    }
    void on_hdlc_error(Cause::Type cause) override { events.push_back("error " + std::to_string(cause)); }
    void on_hdlc_ready() override { events.push_back("ready"); }

    std::vector<std::string> events;
    std::vector<unsigned> headroom;
    std::function<void()> onReceive;
};

Packet frame(const Bytes& bytes)
{
    Packet p;
    p.reserve_head(0);
    for (unsigned char b : bytes)
        p.put8(b);
    return p;
}

class HdlcTest : public testing::Test {
protected:
    HdlcTest() : mux_(sim_), ch_(sim_, mux_)
    {
        traces = TraceCtl();
        ch_.setIndex(3);
        ch_.params.owner2 = 7;
        ch_.params.tdm = 5;
        ch_.params.tdm2 = 6;
        ch_.bind(&user_);
        log_.take();
    }
    ~HdlcTest() override { traces = TraceCtl(); }

    SimMcc& mcc() { return SimMcc::of(sim_); }
    SimOpenFile& file() { return *sim_.opens(kDevice).at(0); }
    std::vector<SimBoard::Request> requests(SimBoard::Op op) { return sim_.requests(op, kDevice); }

    // Activates and takes the first writable turn, so the channel is ready.
    void activateReady()
    {
        ASSERT_TRUE(ch_.activate());
        turn();
        ASSERT_TRUE(ch_.is_ready());
        user_.events.clear();
        sim_.clearRequests();
    }

    Capture err_{std::cerr};
    Capture log_{std::clog};
    SimBoard sim_;
    HwMux mux_;
    HDLC ch_;
    User user_;
};

} // namespace

TEST_F(HdlcTest, ActivationAllocatesTheChannelAndJoinsItsSlot)
{
    ASSERT_TRUE(ch_.activate());
    auto opens = requests(SimBoard::Op::Open);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].value, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    auto ioctls = requests(SimBoard::Op::Ioctl);
    ASSERT_EQ(ioctls.size(), 1u);
    EXPECT_EQ(ioctls[0].code, 0x40144D00u);
    auto values = requests(SimBoard::Op::IoctlValue);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].code, 0x20004D02u);
    EXPECT_EQ(values[0].result, kSlot);

    const Event& ev = ch_.eventForTest();
    EXPECT_TRUE(ch_.is_open());
    EXPECT_FALSE(ch_.is_ready());
    EXPECT_EQ(ev.getName(), "HDLC::OnEvent");
    EXPECT_EQ(ev.getEvents(), POLLIN | POLLOUT);
    EXPECT_EQ(fcntl(ev.getFd(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_NE(fcntl(ev.getFd(), F_GETFL) & O_NONBLOCK, 0);
    // The event keeps its own duplicate only.
    EXPECT_EQ(sim_.opens(kDevice).size(), 1u);
    EXPECT_EQ(err_.take(), "");
    EXPECT_EQ(log_.take(), "");

    ch_.deactivate();
    EXPECT_FALSE(ch_.is_open());
    EXPECT_TRUE(sim_.opens(kDevice).empty());
    EXPECT_EQ(mcc().allocatedCount(), 0u);
    // The switch connections stay.
    EXPECT_EQ(sim_.hal().output(5).source, kSlot);
}

// The controller always listens to tdm; it sends to tdm2 in mode 2 only.
TEST_F(HdlcTest, ModesGiveTheirCodesAndTransmitSlots)
{
    struct Case {
        std::int32_t mode;
        unsigned char code;
        int sendTo;
    };
    for (const Case& c : {Case{0, 3, 5}, Case{1, 0, 5}, Case{2, 1, 6}}) {
        SimBoard sim;
        HwMux mux(sim);
        HDLC ch(sim, mux);
        ch.params.tdm = 5;
        ch.params.tdm2 = 6;
        ch.params.mode = c.mode;
        ASSERT_TRUE(ch.activate());
        auto ioctls = sim.requests(SimBoard::Op::Ioctl, kDevice);
        ASSERT_EQ(ioctls.size(), 1u);
        EXPECT_EQ(ioctls[0].data, (Bytes{0, 0, 0, c.code, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 4}));
        EXPECT_EQ(sim.hal().output(c.sendTo).source, kSlot) << "mode " << c.mode;
        EXPECT_EQ(sim.hal().output(kSlot).source, 5);
        EXPECT_EQ(sim.hal().output(c.mode == 2 ? 5 : 6).setting, SimHal::Setting::Unset);
    }
}

TEST_F(HdlcTest, ActivationFailuresCloseTheDeviceAndSayWhy)
{
    ch_.params.mode = 3;
    EXPECT_FALSE(ch_.activate());
    EXPECT_EQ(err_.take(), "hdlc [3/7]: unsupported mode 3\n");
    EXPECT_TRUE(requests(SimBoard::Op::Open).empty());
    ch_.params.mode = 0;

    sim_.failOpen(kDevice, ENODEV, 1);
    EXPECT_FALSE(ch_.activate());
    EXPECT_EQ(err_.take(), std::string("hdlc [3/7]: fail to open MCC device: ") + std::strerror(ENODEV) + "\n");

    sim_.failIoctl(kDevice, MCC_ALLOCATE, EBUSY);
    EXPECT_FALSE(ch_.activate());
    EXPECT_EQ(err_.take(), std::string("hdlc [3/7]: MCC_ALLOCATE fail: ") + std::strerror(EBUSY) + "\n");
    EXPECT_TRUE(sim_.opens(kDevice).empty());

    sim_.failIoctl(kDevice, MCC_TIMESLOT, EIO);
    EXPECT_FALSE(ch_.activate());
    EXPECT_EQ(err_.take(), std::string("hdlc [3/7]: MCC_TIMESLOT fail: ") + std::strerror(EIO) + "\n");
    EXPECT_TRUE(sim_.opens(kDevice).empty());
    EXPECT_EQ(mcc().allocatedCount(), 0u);

    EXPECT_FALSE(ch_.is_open());
    EXPECT_EQ(sim_.hal().output(5).setting, SimHal::Setting::Unset);
    EXPECT_TRUE(ch_.activate());
}

TEST_F(HdlcTest, TracesOnlyWhenTheSwitchIsOn)
{
    ASSERT_TRUE(ch_.activate());
    Packet p = frame({1, 2, 0xAB});
    ch_.hdlc_transmit(p);
    ASSERT_TRUE(mcc().injectFrame(file(), {0xAA, 0xBB}));
    turn();
    ch_.deactivate();
    EXPECT_EQ(log_.take(), "");

    traces.hdlc = true;
    ASSERT_TRUE(ch_.activate());
    ch_.hdlc_transmit(p);
    ASSERT_TRUE(mcc().injectFrame(file(), {0xAA, 0xBB}));
    turn();
    ch_.deactivate();
    EXPECT_EQ(log_.take(),
              "hdlc [3/7]: deactivated\n"
              "hdlc [3/7]: activated\n"
              "HDLC[3]: tx 01 02 AB\n"
              "hdlc [3/7]: do_read\n"
              "HDLC[3]: rx AA BB\n"
              "hdlc [3/7]: deactivated\n");
    EXPECT_EQ(err_.take(), "");
}

TEST_F(HdlcTest, ReadyIsReportedOncePerBlockedWrite)
{
    ASSERT_TRUE(ch_.activate());
    turn();
    turn();
    EXPECT_EQ(user_.events, (std::vector<std::string>{"ready"}));
    EXPECT_TRUE(ch_.is_ready());
    EXPECT_EQ(ch_.eventForTest().getEvents(), POLLIN);

    // Writable reported twice in a row: one ready.
    user_.events.clear();
    int fd = ch_.eventForTest().getFd();
    ch_.on_event(fd, POLLOUT);
    ch_.on_event(fd, POLLOUT);
    EXPECT_TRUE(user_.events.empty());

    sim_.failWrite(kDevice, EAGAIN);
    Packet p = frame({9});
    EXPECT_FALSE(ch_.hdlc_transmit(p));
    EXPECT_FALSE(ch_.is_ready());
    EXPECT_EQ(ch_.eventForTest().getEvents(), POLLIN | POLLOUT);
    const HDLC::Statistics& s = ch_.statistics();
    EXPECT_EQ(s.txSU + s.txDiscard + s.txError + s.txOverflow + s.rxSU, 0u);
    EXPECT_TRUE(mcc().takeFrame(file()).empty());

    ch_.on_event(fd, POLLOUT);
    ch_.on_event(fd, POLLOUT);
    EXPECT_EQ(user_.events, (std::vector<std::string>{"ready"}));
    EXPECT_TRUE(ch_.hdlc_transmit(p));
    EXPECT_EQ(mcc().takeFrame(file()), (Bytes{9}));
}

TEST_F(HdlcTest, TransmitCountsWhatHappensToEachFrame)
{
    Packet empty;
    Packet p = frame({1, 2});
    // Closed: an empty frame is accepted and not counted, a frame is discarded.
    EXPECT_TRUE(ch_.hdlc_transmit(empty));
    EXPECT_FALSE(ch_.hdlc_transmit(p));
    EXPECT_EQ(ch_.statistics().txDiscard, 1u);

    activateReady();
    EXPECT_EQ(ch_.statistics().txDiscard, 0u);
    Packet zero = frame({});
    EXPECT_TRUE(ch_.hdlc_transmit(zero));
    EXPECT_TRUE(requests(SimBoard::Op::Write).empty());

    EXPECT_TRUE(ch_.hdlc_transmit(p));
    sim_.failWrite(kDevice, EINTR);
    EXPECT_TRUE(ch_.hdlc_transmit(p));
    sim_.failWrite(kDevice, EIO);
    EXPECT_FALSE(ch_.hdlc_transmit(p));
    EXPECT_TRUE(ch_.is_ready());

    EXPECT_EQ(mcc().takeFrame(file()), (Bytes{1, 2}));
    EXPECT_EQ(mcc().takeFrame(file()), (Bytes{1, 2}));
    EXPECT_TRUE(mcc().takeFrame(file()).empty());
    EXPECT_EQ(requests(SimBoard::Op::Write).size(), 4u);
    const HDLC::Statistics& s = ch_.statistics();
    EXPECT_EQ(s.txSU, 2u);
    EXPECT_EQ(s.txError, 1u);
    EXPECT_EQ(s.txDiscard, 0u);
    EXPECT_EQ(p.length(), 2u);

    // Activating an open channel closes it first and starts the counters again.
    ASSERT_TRUE(mcc().injectFrame(file(), {7}));
    turn();
    EXPECT_EQ(ch_.statistics().rxSU, 1u);
    unsigned first = file().id;
    ASSERT_TRUE(ch_.activate());
    EXPECT_EQ(s.txSU + s.txDiscard + s.txError + s.txOverflow + s.rxSU, 0u);
    EXPECT_FALSE(ch_.is_ready());
    auto opens = sim_.opens(kDevice);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_NE(opens[0]->id, first);
    EXPECT_EQ(mcc().channel(*opens[0])->timeSlot(), kSlot);
}

TEST_F(HdlcTest, PendingFramesAreDeliveredEachInAPacketOfItsOwn)
{
    activateReady();
    ASSERT_TRUE(mcc().injectFrame(file(), {1}));
    ASSERT_TRUE(mcc().injectFrame(file(), {2, 3}));
    ASSERT_TRUE(mcc().injectFrame(file(), Bytes(300, 0x55)));
    turn();
    ASSERT_EQ(user_.events.size(), 3u);
    EXPECT_EQ(user_.events[0], "rx 01");
    EXPECT_EQ(user_.events[1], "rx 02 03");
    EXPECT_EQ(user_.events[2].size(), 3u + 300u * 3u - 1u);
    EXPECT_EQ(user_.headroom, (std::vector<unsigned>{0, 0, 0}));
    EXPECT_EQ(ch_.statistics().rxSU, 3u);
    // Three frames and the read that found the device empty.
    EXPECT_EQ(requests(SimBoard::Op::Read).size(), 4u);

    // A read of nothing ends the turn quietly; the next frame comes next turn.
    user_.events.clear();
    ASSERT_TRUE(mcc().injectFrame(file(), {}));
    ASSERT_TRUE(mcc().injectFrame(file(), {4}));
    turn();
    EXPECT_TRUE(user_.events.empty());
    EXPECT_TRUE(ch_.is_open());
    turn();
    EXPECT_EQ(user_.events, (std::vector<std::string>{"rx 04"}));
    EXPECT_EQ(err_.take(), "");
}

TEST_F(HdlcTest, AReadErrorClosesTheChannelAndTellsTheUser)
{
    activateReady();
    Packet p = frame({1});
    ch_.hdlc_transmit(p);
    sim_.failRead(kDevice, EIO);
    ASSERT_TRUE(mcc().injectFrame(file(), {1}));
    turn();
    EXPECT_EQ(err_.take(), std::string("hdlc [3/7]: read error: ") + std::strerror(EIO) + "\n");
    EXPECT_EQ(user_.events, (std::vector<std::string>{"error 0"}));
    EXPECT_FALSE(ch_.is_open());
    EXPECT_FALSE(ch_.is_ready());
    EXPECT_TRUE(sim_.opens(kDevice).empty());
    EXPECT_EQ(ch_.statistics().txSU, 1u);

    // Reading a closed channel only says so, whatever the switch.
    ch_.do_read();
    EXPECT_EQ(log_.take(), "hdlc [3/7]: do_read: !m_event.IsActive()\n");
}

TEST_F(HdlcTest, AUserThatClosesTheChannelWhileReceivingGetsNothingMore)
{
    activateReady();
    user_.onReceive = [this] { ch_.deactivate(); };
    ASSERT_TRUE(mcc().injectFrame(file(), {1}));
    ASSERT_TRUE(mcc().injectFrame(file(), {2}));
    int fd = ch_.eventForTest().getFd();
    ch_.on_event(fd, POLLIN | POLLOUT);
    EXPECT_EQ(user_.events, (std::vector<std::string>{"rx 01"}));
    EXPECT_EQ(requests(SimBoard::Op::Read).size(), 1u);
    EXPECT_FALSE(ch_.is_ready());
    EXPECT_EQ(err_.take(), "");
}

TEST_F(HdlcTest, AUserMayActivateTheChannelAgainWhileReceiving)
{
    activateReady();
    user_.onReceive = [this] {
        user_.onReceive = nullptr;
        ASSERT_TRUE(ch_.activate());
    };
    ASSERT_TRUE(mcc().injectFrame(file(), {1}));
    ASSERT_TRUE(mcc().injectFrame(file(), {2}));
    turn();
    // The second frame went with the old channel; reading goes on on the new one.
    EXPECT_EQ(user_.events, (std::vector<std::string>{"rx 01"}));
    EXPECT_TRUE(ch_.is_open());
    ASSERT_TRUE(mcc().injectFrame(file(), {3}));
    turn();
    EXPECT_EQ(user_.events, (std::vector<std::string>{"rx 01", "rx 03", "ready"}));
}

TEST_F(HdlcTest, AUserMayDeleteTheChannelWhileReceiving)
{
    auto owned = std::make_unique<HDLC>(sim_, mux_);
    owned->bind(&user_);
    ASSERT_TRUE(owned->activate());
    user_.onReceive = [&owned] { owned.reset(); };
    SimOpenFile& f = file();
    ASSERT_TRUE(mcc().injectFrame(f, {1}));
    ASSERT_TRUE(mcc().injectFrame(f, {2}));
    turn();
    EXPECT_EQ(owned, nullptr);
    EXPECT_EQ(user_.events, (std::vector<std::string>{"rx 01"}));
    EXPECT_TRUE(sim_.opens(kDevice).empty());
    EXPECT_EQ(err_.take(), "");
}

TEST_F(HdlcTest, FramesAreDroppedWhileThePacketPoolIsExhausted)
{
    activateReady();
    ASSERT_TRUE(mcc().injectFrame(file(), {1, 2, 3}));
    {
        std::vector<Packet> held;
        for (;;) {
            Packet p;
            try {
                p.reserve_head(0);
            } catch (const std::bad_alloc&) {
                break;
            }
            held.push_back(p);
        }
        turn();
    }
    EXPECT_EQ(err_.take(), "hdlc [3/7]: packet pool exhausted, 3 bytes dropped\n");
    EXPECT_TRUE(user_.events.empty());
    EXPECT_EQ(ch_.statistics().rxSU, 0u);
    EXPECT_TRUE(ch_.is_open());

    ASSERT_TRUE(mcc().injectFrame(file(), {4}));
    turn();
    EXPECT_EQ(user_.events, (std::vector<std::string>{"rx 04"}));
}

TEST_F(HdlcTest, AChannelWithoutAUserReportsToNobody)
{
    HDLC a(sim_, mux_);
    HDLC b;
    EXPECT_EQ(&a.notify(), &b.notify());
    ch_.bind(nullptr);
    EXPECT_EQ(&ch_.notify(), &a.notify());
    ASSERT_TRUE(ch_.activate());
    ASSERT_TRUE(mcc().injectFrame(file(), {1}));
    turn();
    EXPECT_EQ(ch_.statistics().rxSU, 1u);
    EXPECT_TRUE(user_.events.empty());
}
