#include <gtest/gtest.h>

#include <new>
#include <sstream>
#include <vector>

#include "protocol/Packet.h"

namespace {

Packet bytes(std::initializer_list<unsigned> values, unsigned headroom = 16)
{
    Packet p;
    p.reserve_head(headroom);
    for (unsigned v : values)
        p.put8(static_cast<unsigned char>(v));
    return p;
}

} // namespace

TEST(Packet, ReserveSetsTheWindow)
{
    Packet p;
    EXPECT_EQ(p.length(), 0u);
    p.reserve_head(65536);
    EXPECT_EQ(p.headroom(), 65536u);
    EXPECT_EQ(p.tailroom(), 0u);
    Packet q;
    q.reserve_tail(10);
    EXPECT_EQ(q.headroom(), 65526u);
    EXPECT_EQ(q.tailroom(), 10u);
    // An empty window moves over the same block.
    Packet r;
    r.reserve_head(4);
    r.reserve_head(6);
    EXPECT_EQ(r.headroom(), 10u);
    r.reserve_tail(3);
    EXPECT_EQ(r.headroom(), 7u);
    EXPECT_TRUE(r.valid());
}

TEST(Packet, ByteOrderForms)
{
    Packet p = bytes({0x03, 0x00});
    Packet q = p;
    EXPECT_EQ(p.pull16_b(), 0x0300u);
    EXPECT_EQ(q.pull16_l(), 0x0003u);

    Packet one = bytes({0x12});
    Packet other = one;
    EXPECT_EQ(one.pull16_b(), 0x1200u);
    EXPECT_EQ(other.pull16_l(), 0x0012u);
    EXPECT_EQ(one.length(), 0u);
    EXPECT_EQ(one.pull8(), 0u);
    EXPECT_EQ(one.pull16_b(), 0u);

    Packet h;
    h.reserve_head(2);
    h.push16_b(0x1234);
    EXPECT_EQ(h.text(), "12 34");
    h.put16_b(0xABCD);
    h.put16(0xABCD);
    EXPECT_EQ(h.text(), "12 34 AB CD CD AB");
}

TEST(Packet, PushPullPutTrimMoveThePointers)
{
    Packet p = bytes({1, 2, 3, 4}, 8);
    unsigned char* head = p.push(2);
    head[0] = 0xAA;
    head[1] = 0xBB;
    EXPECT_EQ(p.text(), "AA BB 01 02 03 04");
    EXPECT_EQ(p.pull(3)[2], 0x01);
    p.trim(1);
    EXPECT_EQ(p.text(), "02 03");
    EXPECT_EQ(p.headroom(), 9u);
    p[0] = 0x7F;
    const Packet& c = p;
    EXPECT_EQ(c[0], 0x7F);
}

TEST(Packet, TextForms)
{
    EXPECT_EQ(Packet().text(), "(null)");
    EXPECT_EQ(bytes({}).text(), "");
    EXPECT_EQ(bytes({0x01, 0xAB}).text(), "01 AB");

    std::ostringstream os;
    EXPECT_FALSE(Packet().dump(os));
    EXPECT_TRUE(bytes({0x0A, 0x1F}, 3).dump(os));
    EXPECT_TRUE(bytes({0x0A, 0x1F}).dump_context(os));
    EXPECT_EQ(os.str(), "head=3, data=2, tail=65531dump: a 1f");
}

TEST(Packet, StringsSubAndAppend)
{
    Packet p = bytes({});
    p.put(std::string("abc"));
    EXPECT_EQ(p.text(), "03 61 62 63");
    p.put(std::string(300, 'x'));
    EXPECT_EQ(p.length(), 4u + 256u);
    EXPECT_EQ(p.pull_string(), "abc");
    EXPECT_EQ(p.pull_string(), std::string(255, 'x'));

    Packet src = bytes({1, 2, 3, 4, 5}, 10);
    Packet s = src.sub(2, 1);
    EXPECT_EQ(s.text(), "02 03");
    EXPECT_EQ(s.headroom(), 11u);
    EXPECT_NE(s.get(), src.get());

    Packet dst = bytes({9});
    dst.put(src);
    dst.put(dst);
    EXPECT_EQ(dst.text(), "09 01 02 03 04 05 09 01 02 03 04 05");
}

TEST(Packet, CopyOnWriteIsolatesHandles)
{
    const unsigned before = Packet::blocks_in_use();
    Packet a = bytes({1, 2, 3});
    Packet b = a;
    EXPECT_EQ(Packet::blocks_in_use(), before + 1);
    EXPECT_EQ(a.text(), b.text());   // reads do not copy
    EXPECT_EQ(Packet::blocks_in_use(), before + 1);

    a.push8(0);
    EXPECT_EQ(Packet::blocks_in_use(), before + 2);
    EXPECT_EQ(b.text(), "01 02 03");
    EXPECT_EQ(b.headroom(), a.headroom() + 1);   // same offsets in the copy

    Packet c = b, d = b, e = b;
    c.pull(1);
    d.put8(4);
    e.trim(1);
    e[0] = 0x55;
    EXPECT_EQ(b.text(), "01 02 03");
    EXPECT_EQ(c.text(), "02 03");
    EXPECT_EQ(d.text(), "01 02 03 04");
    EXPECT_EQ(e.text(), "55 02");

    b = b;   // self-assignment keeps the block
    EXPECT_EQ(b.text(), "01 02 03");
    a = Packet();
    b = c = d = e = Packet();
    EXPECT_EQ(Packet::blocks_in_use(), before);
}

TEST(Packet, PoolExhaustionAndReuseOrder)
{
    EXPECT_EQ(Packet::blocks_in_use(), 0u);
    EXPECT_EQ(Packet::blocks_free(), 1024u);
    {
        std::vector<Packet> all(1024);
        for (Packet& p : all)
            p.reserve_head(0);
        EXPECT_EQ(Packet::blocks_free(), 0u);

        Packet more;
        EXPECT_THROW(more.reserve_head(0), std::bad_alloc);
        EXPECT_THROW(more.reserve_tail(0), std::bad_alloc);
        EXPECT_TRUE(more.isNull());

        // The copy of a shared block fails too; the handle keeps its block.
        all[0].put8(7);
        Packet shared = all[0];
        EXPECT_THROW(shared.put8(8), std::bad_alloc);
        EXPECT_EQ(shared.text(), "07");
        EXPECT_EQ(shared.get(), all[0].get());

        // Freed blocks come back in the order they were freed.
        const _Packet* first = all[10].get();
        const _Packet* second = all[3].get();
        all[10] = Packet();
        all[3] = Packet();
        Packet x, y;
        x.reserve_tail(0);
        y.reserve_tail(0);
        EXPECT_EQ(x.get(), first);
        EXPECT_EQ(y.get(), second);
    }
    EXPECT_EQ(Packet::blocks_in_use(), 0u);
    Packet p;
    p.reserve_head(0);
    EXPECT_EQ(Packet::blocks_in_use(), 1u);
}

using PacketDeathTest = ::testing::Test;

TEST_F(PacketDeathTest, BrokenBoundsPrintTheAssertionAndADump)
{
    EXPECT_DEATH(
        {
            Packet p = bytes({0x0A, 0xFF}, 1);
            p.push(2);
        },
        "PACKET ASSERTION FAILED!\nlen<=_headroom\\(\\)\nhead=1, data=2, tail=65533\ndump:\n a ff\n\n");
    EXPECT_DEATH(
        {
            Packet p = bytes({}, 65536);
            p.put(1);
        },
        "len<=_tailroom\\(\\)\nhead=65536, data=0, tail=0\n\n");
    EXPECT_DEATH({ bytes({1}).pull(2); }, "len<=_length\\(\\)");
    EXPECT_DEATH({ bytes({1}).trim(2); }, "len<=_length\\(\\)");
    EXPECT_DEATH({ bytes({1})[1] = 0; }, "index out of range");
    EXPECT_DEATH({ Packet().push8(1); }, "PACKET ASSERTION FAILED!\nnull packet\n\\(null\\)\n");
    EXPECT_DEATH({ Packet().pull8(); }, "null packet");
    EXPECT_DEATH({ Packet().reserve_head(65537); }, "length>packet_max_size");
    EXPECT_DEATH({ Packet().reserve_tail(65537); }, "len>packet_max_size");
    EXPECT_DEATH({ bytes({}, 65530).reserve_head(7); }, "new_len>packet_max_size");
    EXPECT_DEATH({ bytes({}, 6).reserve_tail(65531); }, "_tailroom\\(\\)\\+len <= packet_max_size");
    EXPECT_DEATH({ bytes({1, 2}).sub(1, 3); }, "start<=_length\\(\\)");
    EXPECT_DEATH({ bytes({1, 2}).sub(2, 1); }, "start\\+len<=_length\\(\\)");
    EXPECT_DEATH({ check_fail("after \"%s\" fdata>ftail", "push"); },
                 "packet check fail\nafter \"push\" fdata>ftail\nterminate.\n");
}
