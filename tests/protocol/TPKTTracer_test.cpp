#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/ControlPeers.h"
#include "protocol/TPKTTracer.h"
#include "runtime/INet4Addr.h"
#include "runtime/Mux.h"

using looptest::Capture;
using looptest::frame;
using looptest::Peer;
using looptest::runUntil;

namespace {

struct Recorder : TPKTTracer::Receiver
{
    void Receive(const void* data, unsigned length) override
    {
        if (reply)
            reply();
        // Read after the reply: the bytes must still be there.
        frames.emplace_back(static_cast<const char*>(data), length);
    }

    std::vector<std::string> frames;
    std::function<void()> reply;
};

std::string header(unsigned length)
{
    return std::string{'\x03', '\x00', static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)};
}

class Tracer : public ::testing::Test
{
protected:
    Tracer()
    {
        tracer.Bind(&receiver);
        EXPECT_TRUE(tracer.Listen(0));
        port = tracer.GetPort();
        EXPECT_NE(port, 0);
    }
    // A new observer, once the tracer has taken it.
    std::unique_ptr<Peer> client()
    {
        const unsigned before = tracer.GetClientCount();
        std::unique_ptr<Peer> peer(new Peer(looptest::connectLoopback(port)));
        EXPECT_TRUE(runUntil([&] { return tracer.GetClientCount() == before + 1; }));
        names.push_back(looptest::localAddress(peer->fd).GetString());
        return peer;
    }
    bool closed(Peer& peer) { return runUntil([&] { return peer.pump(); }); }

    Capture log{std::clog};
    Capture err{std::cerr};
    Recorder receiver;
    TPKTTracer tracer;
    std::uint16_t port = 0;
    std::vector<std::string> names;
};

} // namespace

TEST_F(Tracer, BlocksGoFramedToEveryClient)
{
    auto a = client();
    auto b = client();
    EXPECT_EQ(log.str(), "ACP connection open from " + names[0] + "\nACP connection open from " + names[1] + "\n");
    tracer.Send("abc", 3);
    tracer.Send("", 0);
    const std::string expected = frame("abc") + frame("");
    ASSERT_TRUE(runUntil([&] {
        a->pump();
        b->pump();
        return a->received.size() == expected.size() && b->received.size() == expected.size();
    }));
    EXPECT_EQ(a->received, expected);
    EXPECT_EQ(b->received, expected);

    tracer.Send(nullptr, 65532);
    EXPECT_EQ(err.str(), "TPKTTracer::Send() refuse block of 65532 octets, max 65531\n");
}

TEST_F(Tracer, FramesCutAnywhereReachTheReceiver)
{
    auto a = client();
    const std::string big(512, 'z');
    const std::string bytes = frame("one") + frame("") + frame(big) + frame("two");
    for (std::size_t at = 0; at < bytes.size(); at += 5) {
        a->send(bytes.substr(at, 5));
        multiplexer.setPollForTest(looptest::cappedPoll);
        multiplexer.runTurnForTest();   // each piece on its own
        multiplexer.setPollForTest(nullptr);
    }
    ASSERT_TRUE(runUntil([&] { return receiver.frames.size() == 3; }));
    EXPECT_EQ(receiver.frames, (std::vector<std::string>{"one", big, "two"}));
    EXPECT_EQ(tracer.GetClientCount(), 1u);
}

TEST_F(Tracer, BadHeadersCloseTheClient)
{
    const std::string bad[] = {
        header(5 + 512) + std::string(513, 'x'),   // payload above 512
        std::string{'\x04', '\x00', '\x00', '\x05'} + "x",
        std::string{'\x03', '\x01', '\x00', '\x05'} + "x",
        header(3),
    };
    for (const std::string& bytes : bad) {
        auto a = client();
        a->send(frame("ok") + bytes);
        EXPECT_TRUE(closed(*a));
        EXPECT_EQ(tracer.GetClientCount(), 0u);
    }
    EXPECT_EQ(receiver.frames, std::vector<std::string>(4, "ok"));
}

TEST_F(Tracer, ReplyDuringAFrameGoesToItsSenderOnly)
{
    auto a = client();
    auto b = client();
    receiver.reply = [&] { tracer.Send("re", 2); };
    a->send(frame("q"));
    ASSERT_TRUE(runUntil([&] { return receiver.frames.size() == 1; }));
    receiver.reply = nullptr;
    tracer.Send("all", 3);
    ASSERT_TRUE(runUntil([&] {
        a->pump();
        b->pump();
        return a->received.size() == 13 && b->received.size() == 7;
    }));
    EXPECT_EQ(a->received, frame("re") + frame("all"));
    EXPECT_EQ(b->received, frame("all"));
}

TEST_F(Tracer, FailedReplyClosesTheSenderAndEndsItsFrames)
{
    auto a = client();
    auto b = client();
    // The sender never reads: replies pile up until one no longer fits.
    const std::string big(TPKTTracer::max_block, 'r');
    receiver.reply = [&] {
        while (tracer.GetClientCount() == 2)
            tracer.Send(big.data(), TPKTTracer::max_block);
        // Still the sender's reply: it reaches nobody now.
        tracer.Send("late", 4);
    };
    a->send(frame("first") + frame("second"));
    ASSERT_TRUE(runUntil([&] { return tracer.GetClientCount() == 1; }));
    EXPECT_EQ(receiver.frames, std::vector<std::string>{"first"});
    receiver.reply = nullptr;
    tracer.Send("b", 1);
    ASSERT_TRUE(runUntil([&] { return b->pump() || b->received.size() >= 5; }));
    EXPECT_EQ(b->received, frame("b"));
}

TEST_F(Tracer, ClientThatCannotKeepUpIsDroppedWithoutDisturbingTheOthers)
{
    auto slow = client();
    auto fast = client();
    const std::string big(TPKTTracer::max_block, 'm');
    unsigned sent = 0;
    while (tracer.GetClientCount() == 2 && sent < 10000) {
        tracer.Send(big.data(), TPKTTracer::max_block);
        ++sent;
        ASSERT_TRUE(runUntil([&] { return fast->pump() || fast->received.size() == sent * 65535u; }));
    }
    EXPECT_EQ(tracer.GetClientCount(), 1u);
    EXPECT_EQ(fast->received.size(), sent * 65535u);
    EXPECT_EQ(fast->received.substr(0, 65535), frame(big));
    EXPECT_TRUE(closed(*slow));
}

TEST_F(Tracer, FrameSentRightBeforeAResetIsStillDelivered)
{
    auto a = client();
    a->send(frame("last"));
    // Closing with linger 0 resets the connection: the tracer sees the
    // frame and the reset in the same turn.
    const linger reset = {1, 0};
    ASSERT_EQ(::setsockopt(a->fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
    a->close();
    ASSERT_TRUE(runUntil([&] { return tracer.GetClientCount() == 0; }));
    EXPECT_EQ(receiver.frames, std::vector<std::string>{"last"});
}

TEST_F(Tracer, ClosedClientsAreForgotten)
{
    auto a = client();
    a->close();
    ASSERT_TRUE(runUntil([&] { return tracer.GetClientCount() == 0; }));
    tracer.Send("x", 1);   // nobody left
}

namespace {

unsigned readyTurns = 0;

int countReadyTurns(pollfd* fds, nfds_t count, int timeout)
{
    const int ready = looptest::cappedPoll(fds, count, timeout);
    if (ready > 0)
        ++readyTurns;
    return ready;
}

} // namespace

TEST_F(Tracer, OutOfDescriptorsPausesAcceptingInsteadOfSpinning)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers need descriptors of their own";
#endif
    Peer pending(looptest::connectLoopback(port));

    // No descriptor left for the accept: the connection stays pending and
    // the listening socket readable.
    looptest::NoFreeDescriptor limit;
    ASSERT_TRUE(limit.lowered);
    readyTurns = 0;
    runUntil([] { return false; }, 200, countReadyTurns);
    ASSERT_TRUE(limit.restore());
    EXPECT_EQ(readyTurns, 1u);
    EXPECT_EQ(tracer.GetClientCount(), 0u);

    // A second later the tracer looks again and takes it.
    Mux::mux_settimeofday();
    looptest::advance(TPKTTracer::accept_retry_ms);
    EXPECT_TRUE(runUntil([&] { return tracer.GetClientCount() == 1; }));
    Mux::g_tv_time = {0, 0};
}

TEST(TracerListen, PortInUseFails)
{
    TPKTTracer first;
    ASSERT_TRUE(first.Listen(0));
    TPKTTracer second;
    EXPECT_FALSE(second.Listen(first.GetPort()));
    EXPECT_EQ(second.GetPort(), 0);
}
