#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

#include "protocol/Tpkt_protocol.h"
#include "runtime/LoopFixture.h"
#include "runtime/Multiplexer.h"
#include "runtime/Mux.h"

namespace {

using Bytes = std::vector<unsigned char>;

Packet packet_of(const Bytes& b)
{
    Packet p;
    p.reserve_head(0);
    if (!b.empty())
        std::copy(b.begin(), b.end(), p.put(static_cast<unsigned>(b.size())));
    return p;
}

Bytes bytes_of(const Packet& p)
{
    return Bytes(p.data(), p.data() + p.length());
}

// TPKT alone in a family that records what comes out at both ends.
class Holder : public ProtocolsFamily
{
public:
    Holder() { add_protocol_tail(tpkt = new Tpkt_protocol); }
    void transmit(Packet& p) override { sent.push_back(bytes_of(p)); }
    void on_message(Packet& p) override
    {
        frames.push_back(bytes_of(p));
        if (on_frame)
            on_frame(p);
    }

    Tpkt_protocol* tpkt;
    std::vector<Bytes> sent, frames;
    std::function<void(Packet&)> on_frame;
};

class Tpkt : public ::testing::Test
{
protected:
    Tpkt() : old(std::clog.rdbuf(log.rdbuf())), olderr(std::cerr.rdbuf(log.rdbuf()))
    {
        Mux::g_tv_time = {1700000000, 0};
        holder.activate();
    }
    ~Tpkt() override
    {
        std::clog.rdbuf(old);
        std::cerr.rdbuf(olderr);
        Mux::g_tv_time = {0, 0};
    }
    void feed(const Bytes& b)
    {
        Packet p = packet_of(b);
        holder.receive(p);
    }
    void advance(int ms)
    {
        looptest::advance(ms);
        multiplexer.timers_schedule();
    }

    std::ostringstream log;
    std::streambuf* old;
    std::streambuf* olderr;
    Holder holder;
};

} // namespace

TEST_F(Tpkt, OneFrameWholeOrByteByByte)
{
    const Bytes frame = {0x03, 0x00, 0x00, 0x07, 0x41, 0x42, 0x43};
    feed(frame);
    ASSERT_EQ(holder.frames.size(), 1u);
    EXPECT_EQ(holder.frames[0], (Bytes{0x41, 0x42, 0x43}));
    EXPECT_FALSE(holder.tpkt->timer_pending());

    for (unsigned i = 0; i < frame.size(); ++i) {
        feed({frame[i]});
        EXPECT_EQ(holder.tpkt->timer_pending(), i + 1 < frame.size());
    }
    ASSERT_EQ(holder.frames.size(), 2u);
    EXPECT_EQ(holder.frames[1], (Bytes{0x41, 0x42, 0x43}));
    EXPECT_EQ(log.str(), "");
}

TEST_F(Tpkt, GarbageBadHeadersAndSmallLengths)
{
    feed({0x05, 0x03, 0x00, 0x00, 0x05, 0x61, 0x03, 0x00, 0x00, 0x05, 0x62});
    EXPECT_EQ(holder.frames, (std::vector<Bytes>{{0x61}, {0x62}}));
    EXPECT_EQ(log.str(), "TPKT bad TPKT packet start.\n");

    log.str("");
    feed({0x03, 0x01, 0x03, 0x00, 0x00, 0x03});
    EXPECT_EQ(log.str(), "TPKT bad TPKT reserved.\nTPKT too small 3\n");
    EXPECT_EQ(holder.tpkt->state(), Tpkt_protocol::idle);
    EXPECT_EQ(holder.frames.size(), 2u);
}

// A peer cannot write a log line per byte: each line once until a frame
// goes up, then once again.
TEST_F(Tpkt, ResynchronisationSaysEachLineOnce)
{
    const std::string both = "TPKT bad TPKT packet start.\nTPKT bad TPKT reserved.\n";
    feed(Bytes(1000, 0x55));
    feed({0x03, 0x01, 0x55, 0x03, 0x07});
    feed(Bytes(1000, 0x55));
    EXPECT_EQ(log.str(), both);
    feed({0x03, 0x00, 0x00, 0x05, 0x61, 0x55, 0x03, 0x01});
    EXPECT_EQ(holder.frames, std::vector<Bytes>{Bytes{0x61}});
    EXPECT_EQ(log.str(), both + both);
}

TEST_F(Tpkt, EmptyFrameGoesUpAtOnce)
{
    feed({0x03, 0x00, 0x00, 0x04});
    EXPECT_EQ(holder.frames, std::vector<Bytes>{Bytes{}});
    EXPECT_FALSE(holder.tpkt->timer_pending());
    feed({0x03, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x05, 0x09});
    EXPECT_EQ(holder.frames, (std::vector<Bytes>{{}, {}, {0x09}}));
}

TEST_F(Tpkt, PartialFrameTimesOutAfterThreeSecondsOfSilence)
{
    feed({0x03, 0x00, 0x00, 0x0A, 0x01});
    advance(2000);
    feed({0x02});   // the time-out counts from the last chunk
    advance(2999);
    EXPECT_EQ(log.str(), "");
    advance(1);
    EXPECT_EQ(log.str(), " TPKT packet timeout.\n");
    EXPECT_EQ(holder.tpkt->state(), Tpkt_protocol::idle);
    feed({0x03, 0x00, 0x00, 0x05, 0x07});
    EXPECT_EQ(holder.frames, std::vector<Bytes>{Bytes{0x07}});
    EXPECT_EQ(Packet::blocks_in_use(), 0u);
}

TEST_F(Tpkt, FramingAndTheLargestPayload)
{
    Packet p;
    holder.prepare_head(p);
    std::copy_n("ABC", 3, p.put(3));
    holder.message(p);
    ASSERT_EQ(holder.sent.size(), 1u);
    EXPECT_EQ(holder.sent[0], (Bytes{0x03, 0x00, 0x00, 0x07, 0x41, 0x42, 0x43}));

    Packet big;
    holder.prepare_head(big);
    big.put(65531);
    holder.message(big);
    ASSERT_EQ(holder.sent.size(), 2u);
    EXPECT_EQ(holder.sent[1].size(), 65535u);
    EXPECT_EQ(Bytes(holder.sent[1].begin(), holder.sent[1].begin() + 4), (Bytes{0x03, 0x00, 0xFF, 0xFF}));

    Packet over;
    holder.prepare_head(over);
    over.put(65532);
    holder.message(over);
    EXPECT_EQ(holder.sent.size(), 2u);
    EXPECT_EQ(log.str(), "TPKT message too long, length = 65532 max = 65531\n");
}

TEST_F(Tpkt, DeactivationWhileAFrameIsUpStopsTheChunk)
{
    Packet kept;
    holder.on_frame = [&](Packet& p) {
        kept = p;
        holder.deactivate();
    };
    feed({0x03, 0x00, 0x00, 0x05, 0x01, 0x03, 0x00, 0x00, 0x05, 0x02});
    EXPECT_EQ(holder.frames.size(), 1u);
    EXPECT_EQ(kept.text(), "01");   // the frame is the receiver's own handle
    EXPECT_EQ(holder.tpkt->state(), Tpkt_protocol::idle);
    EXPECT_FALSE(holder.tpkt->timer_pending());
}

TEST_F(Tpkt, NoBlockForAFrameSkipsItsPayload)
{
    std::vector<Packet> all(Packet::blocks_free() - 1);   // one left for the chunk
    for (Packet& p : all)
        p.reserve_head(0);
    feed({0x03, 0x00, 0x00, 0x06, 0x01});
    EXPECT_EQ(log.str(), "TPKT packet pool exhausted, frame of 2 bytes dropped\n");
    all.clear();
    feed({0x02, 0x03, 0x00, 0x00, 0x05, 0x09});
    EXPECT_EQ(holder.frames, std::vector<Bytes>{Bytes{0x09}});
}

TEST_F(Tpkt, RandomFramesCutAnywhereComeOutWholeAndInOrder)
{
    std::mt19937 random(20011);
    std::vector<Bytes> payloads;
    Bytes stream;
    for (unsigned i = 0; i < 60; ++i) {
        unsigned size = random() % 4 == 0 ? random() % 65532 : random() % 300;
        if (i == 0)
            size = 65531;
        if (i == 1)
            size = 0;
        Bytes payload(size);
        for (unsigned char& b : payload)
            b = static_cast<unsigned char>(random());
        const unsigned length = size + 4;
        stream.insert(stream.end(), {0x03, 0x00, static_cast<unsigned char>(length >> 8),
                                     static_cast<unsigned char>(length & 0xFF)});
        stream.insert(stream.end(), payload.begin(), payload.end());
        payloads.push_back(payload);
    }
    std::size_t at = 0;
    while (at < stream.size()) {
        // Runs of one-byte chunks, small and large cuts.
        const unsigned kind = random() % 4;
        std::size_t n = kind == 0 ? 1 : kind == 1 ? random() % 16 + 1 : random() % 65536 + 1;
        n = std::min(n, stream.size() - at);
        for (std::size_t k = 0; kind == 0 && k < 40 && at < stream.size(); ++k, ++at)
            feed({stream[at]});
        if (kind != 0) {
            feed(Bytes(stream.begin() + at, stream.begin() + at + n));
            at += n;
        }
    }
    EXPECT_EQ(holder.frames.size(), payloads.size());
    EXPECT_TRUE(holder.frames == payloads);
    EXPECT_FALSE(holder.tpkt->timer_pending());
    EXPECT_EQ(log.str(), "");
}
