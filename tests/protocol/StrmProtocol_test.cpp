#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "protocol/LoopDriver.h"
#include "protocol/StrmProtocol.h"

using looptest::Capture;
using looptest::runUntil;

namespace {

// The stream layer alone in a family that records what comes out of it.
class Holder : public ProtocolsFamily
{
public:
    Holder() { add_protocol_tail(stream = new StrmProtocol); }
    void on_message(Packet& p) override { received.append(reinterpret_cast<const char*>(p.data()), p.length()); }
    void on_deactivate(Protocol_status s) override
    {
        statuses.push_back(s->message());
        sources.push_back(s->source);
    }

    StrmProtocol* stream;
    std::string received;
    std::vector<std::string> statuses;
    std::vector<Protocol*> sources;
};

// Answers what it reads twice, then closes the stack when asked to.
class Answering : public Holder
{
public:
    void on_message(Packet& p) override
    {
        Holder::on_message(p);
        message(p);
        message(p);
        if (close)
            deactivate();
    }
    bool close = false;
};

template <class Upper, int Type>
struct Socket : ::testing::Test
{
    Socket()
    {
        EXPECT_EQ(::socketpair(AF_UNIX, Type | SOCK_CLOEXEC, 0, fd), 0);
        ::fcntl(fd[0], F_SETFL, O_NONBLOCK);
        holder.stream->attach(Fd(fd[0]));   // the layer owns its copy now
    }
    ~Socket() override
    {
        if (fd[1] >= 0)
            ::close(fd[1]);
    }
    void peer_write(const std::string& s) { ASSERT_EQ(::write(fd[1], s.data(), s.size()), (ssize_t)s.size()); }
    // One write of the layer (on a packet socket), "" when there is none.
    std::string peer_read()
    {
        char buffer[64];
        const ssize_t n = ::recv(fd[1], buffer, sizeof buffer, MSG_DONTWAIT);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }

    int fd[2];
    Upper holder;
};

// Answers one read with a burst of large packets.
class Bursting : public Holder
{
public:
    void on_message(Packet& p) override
    {
        Holder::on_message(p);
        for (int i = 0; i < packets; ++i) {
            Packet answer;
            answer.reserve_head(0);
            std::memset(answer.put(size), 'a' + i % 26, size);
            message(answer);
        }
    }
    static const int packets = 16;
    static const unsigned size = 2000;
};

using Stream = Socket<Holder, SOCK_STREAM>;
using Answers = Socket<Answering, SOCK_SEQPACKET>;
using Burst = Socket<Bursting, SOCK_STREAM>;

} // namespace

TEST_F(Stream, ReadsChunksAndWritesPackets)
{
    holder.activate();
    peer_write("hello");
    EXPECT_TRUE(runUntil([&] { return holder.received == "hello"; }));

    Packet p;
    holder.prepare_head(p);
    EXPECT_EQ(p.headroom(), 0u);
    std::copy_n("0123456789", 10, p.put(10));
    holder.message(p);
    EXPECT_EQ(p.length(), 10u);   // the caller's packet is left as it was
    char buffer[16];
    EXPECT_EQ(::read(fd[1], buffer, sizeof buffer), 10);
    EXPECT_EQ(holder.stream->overflow_counter(), 0u);
    EXPECT_EQ(holder.stream->get_read_measure().counter, 1u);
    EXPECT_EQ(holder.stream->get_write_measure().counter, 1u);
}

TEST_F(Stream, LastBytesBeforeThePeersCloseAreDelivered)
{
    holder.activate();
    peer_write("last words");
    ::close(fd[1]);
    fd[1] = -1;
    EXPECT_TRUE(runUntil([&] { return !holder.statuses.empty(); }));
    EXPECT_EQ(holder.received, "last words");
    ASSERT_EQ(holder.statuses.size(), 1u);
    EXPECT_EQ(holder.statuses[0].rfind("read error: ", 0), 0u) << holder.statuses[0];
    EXPECT_EQ(holder.sources[0], holder.stream);
    EXPECT_FALSE(holder.stream->is_attached());
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
}

TEST_F(Stream, WriteTimeoutWhenThePeerStopsReading)
{
    Capture err(std::cerr);
    holder.activate();
    holder.stream->label("abc");
    while (holder.statuses.empty()) {
        Packet p;
        p.reserve_head(0);
        p.put(65536);
        holder.message(p);
    }
    EXPECT_EQ(holder.statuses, std::vector<std::string>{"write timeout"});
    EXPECT_EQ(holder.stream->overflow_counter(), 1u);
    EXPECT_EQ(err.str().rfind("SockStream[abc]: write timeout, sendbuf=", 0), 0u) << err.str();
    EXPECT_NE(err.str().find(", inq=0, outq="), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find('\n'), err.str().size() - 1);
    EXPECT_FALSE(holder.stream->is_attached());
}

TEST_F(Stream, WriteErrorAfterThePeerIsGone)
{
    Capture err(std::cerr);
    holder.activate();
    ::close(fd[1]);
    fd[1] = -1;
    Packet p;
    p.reserve_head(0);
    p.put8(1);
    holder.message(p);
    EXPECT_EQ(holder.statuses, std::vector<std::string>{"write error: Broken pipe"});
    EXPECT_NE(err.str().find("SockStream[]: write error, sendbuf="), std::string::npos) << err.str();
    EXPECT_NE(err.str().find(", error=Broken pipe\n"), std::string::npos) << err.str();
    EXPECT_EQ(holder.stream->overflow_counter(), 1u);
}

TEST(StreamLayer, NotAttachedAndHeader)
{
    Holder holder;
    holder.activate();
    EXPECT_EQ(holder.statuses, std::vector<std::string>{"fd not attached"});
    holder.stream->label("abc");
    std::ostringstream os;
    holder.stream->PutHeader(os);
    EXPECT_EQ(os.str(), "SockStream[abc]: ");
    EXPECT_STREQ(holder.stream->name().name(), "StrmProtocol");
}

TEST_F(Stream, ExhaustedPoolDropsTheReadAndGoesOn)
{
    Capture err(std::cerr);
    holder.activate();
    std::vector<Packet> all(Packet::blocks_free());
    for (Packet& p : all)
        p.reserve_head(0);
    peer_write("lost");
    EXPECT_TRUE(runUntil([&] { return !err.str().empty(); }));
    EXPECT_EQ(err.str(), "SockStream[]: packet pool exhausted, 4 bytes dropped\n");
    EXPECT_TRUE(holder.stream->is_attached());

    all.clear();
    peer_write("kept");
    EXPECT_TRUE(runUntil([&] { return holder.received == "kept"; }));
}

// The answers to one read leave in one write, also when the upper layers
// close the layer while they handle it; other packets leave at once.
TEST_F(Answers, WhatIsSentWhileAReadIsHandledLeavesInOneWrite)
{
    holder.activate();
    peer_write("ab");
    EXPECT_TRUE(runUntil([&] { return holder.received == "ab"; }));
    EXPECT_EQ(peer_read(), "abab");
    EXPECT_EQ(peer_read(), "");
    EXPECT_EQ(holder.stream->get_write_measure().counter, 1u);

    Packet p;
    p.reserve_head(0);
    p.put8('z');
    holder.message(p);
    EXPECT_EQ(peer_read(), "z");

    holder.close = true;
    peer_write("cd");
    EXPECT_TRUE(runUntil([&] { return !holder.stream->is_attached(); }));
    EXPECT_EQ(peer_read(), "cdcd");
}

// The held answers of one read, over small socket buffers, to a peer that
// takes 4 KB every 300 ms: each answer gets its own second, so the whole
// burst (far more than one second's reading) arrives.
TEST_F(Burst, PeerThatKeepsReadingGetsEveryHeldAnswer)
{
    const int small = 4096;
    for (int end : fd) {
        ::setsockopt(end, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        ::setsockopt(end, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    const std::size_t all = Bursting::packets * Bursting::size;
    std::string got;
    std::thread reader([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char buffer[4096];
        while (got.size() < all && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const ssize_t n = ::recv(fd[1], buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0)
                break;   // the layer gave up
            if (n > 0)
                got.append(buffer, static_cast<std::size_t>(n));
        }
    });
    holder.activate();
    peer_write("x");
    EXPECT_TRUE(runUntil([&] { return holder.received == "x"; }));
    reader.join();
    EXPECT_EQ(got.size(), all);
    EXPECT_EQ(holder.statuses, std::vector<std::string>{});
    EXPECT_EQ(holder.stream->overflow_counter(), 0u);
}

// Held answers that fail when the upper layers close the layer are said
// and counted like any other send.
TEST_F(Answers, HeldAnswersThatFailAtTheCloseAreSaidAndCounted)
{
    Capture err(std::cerr);
    holder.close = true;
    holder.activate();
    peer_write("ab");
    ::close(fd[1]);
    fd[1] = -1;
    EXPECT_TRUE(runUntil([&] { return !holder.stream->is_attached(); }));
    EXPECT_EQ(holder.stream->overflow_counter(), 1u);
    EXPECT_EQ(err.str().rfind("SockStream[]: write error, sendbuf=", 0), 0u) << err.str();
    EXPECT_NE(err.str().find(", error=Broken pipe\n"), std::string::npos) << err.str();
}
