#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "protocol/Protocol.h"

namespace {

std::vector<std::string> journal;

// A layer with a one-byte header that records what reaches it.
class Layer : public Protocol
{
public:
    explicit Layer(std::string tag, bool fail_init = false) : tag(std::move(tag)), fail_init(fail_init) {}
    ~Layer() override { journal.push_back("delete " + tag); }

    void local_prepare_head(Packet& p) override
    {
        Protocol::local_prepare_head(p);
        p.reserve_head(1);
    }
    Protocol_status local_initialize() override
    {
        journal.push_back("init " + tag);
        if (fail_init)
            return Protocol_status(new Protocol_status_error(this, tag + " failed"));
        return Protocol::local_initialize();
    }
    void local_activate() override
    {
        journal.push_back("activate " + tag);
        Protocol::local_activate();
    }
    void local_deactivate() override
    {
        journal.push_back("deactivate " + tag);
        Protocol::local_deactivate();
    }
    void message(Packet& p) override
    {
        p.push8(static_cast<unsigned char>(tag[0]));
        transmit(p);
    }
    void receive(Packet& p) override
    {
        p.pull8();
        on_message(p);
    }
    void fail(const char* text) { on_deactivate(Protocol_status(new Protocol_status_error(this, text))); }

    std::string tag;
    bool fail_init;
};

// Holds a stack and records what comes out of it.
class Holder : public ProtocolsFamily
{
public:
    void transmit(Packet& p) override { sent.push_back(p.text()); }
    void on_message(Packet& p) override { received.push_back(p.text()); }
    void on_activate() override { journal.push_back("family active"); }
    void on_deactivate(Protocol_status s) override
    {
        journal.push_back("family down: " + s->message());
        source = s->source;
    }

    std::vector<std::string> sent, received;
    Protocol* source = nullptr;
};

struct Stack : ::testing::Test
{
    Stack()
    {
        journal.clear();
        holder.add_protocol_tail(bottom = new Layer("B"));
        holder.add_protocol_tail(top = new Layer("T"));
    }
    Holder holder;
    Layer* bottom;
    Layer* top;
};

} // namespace

TEST_F(Stack, PacketsGoDownWithHeadersInStackOrderAndComeUpWhole)
{
    Packet p;
    holder.prepare_head(p);
    EXPECT_EQ(p.headroom(), 2u);
    p.put8(0x21);
    holder.message(p);
    ASSERT_EQ(holder.sent.size(), 1u);
    EXPECT_EQ(holder.sent[0], "42 54 21");   // bottom's header outermost

    Packet in;
    in.reserve_head(0);
    for (unsigned char b : {0x42, 0x54, 0x21})
        in.put8(b);
    holder.receive(in);
    EXPECT_EQ(holder.received, std::vector<std::string>{"21"});
}

TEST_F(Stack, ActivationClimbsAndDeactivationDescends)
{
    holder.activate();
    holder.deactivate();
    EXPECT_EQ(journal, (std::vector<std::string>{"activate B", "activate T", "family active", "deactivate T",
                                                 "deactivate B", "family down: success"}));
    EXPECT_EQ(holder.source, bottom);   // the status seen is the bottom layer's
}

TEST_F(Stack, FailureClimbsWithItsSource)
{
    bottom->fail("broken");
    EXPECT_EQ(journal, std::vector<std::string>{"family down: broken"});
    EXPECT_EQ(holder.source, bottom);
}

TEST_F(Stack, InitializeStopsAtTheFirstFailure)
{
    holder.add_protocol_head(new Layer("A"));
    bottom->fail_init = true;
    Protocol_status s = holder.initialize();
    EXPECT_FALSE(s->success());
    EXPECT_EQ(s->message(), "B failed");
    EXPECT_EQ(journal, (std::vector<std::string>{"init A", "init B"}));
}

TEST(ProtocolFramework, LayersAreDeletedTopFirstAndLeaveTheirList)
{
    Holder* holder = new Holder;
    Layer* bottom = new Layer("B");
    Layer* top = new Layer("T");
    holder->add_protocol_tail(bottom);
    holder->add_protocol_tail(top);
    holder->add_protocol_tail(new Layer("U"));
    EXPECT_EQ(holder->search(Protocol_name_null()), nullptr);
    delete bottom;
    EXPECT_EQ(holder->layers(), 2u);
    EXPECT_EQ(holder->bottom(), top);
    EXPECT_EQ(top->lower(), nullptr);
    journal.clear();
    delete holder;
    EXPECT_EQ(journal, (std::vector<std::string>{"delete U", "delete T"}));
}

TEST(ProtocolFramework, EmptyFamilyAndLoneLayer)
{
    ProtocolsFamily family;
    Packet p;
    family.prepare_head(p);
    EXPECT_TRUE(p.isNull());
    family.message(p);
    family.receive(p);
    family.activate();
    family.deactivate();
    Protocol_status s = family.initialize();
    EXPECT_FALSE(s->success());
    EXPECT_EQ(s->message(), "error");
    EXPECT_EQ(s->source, &family);

    // No neighbour, no container: nothing happens.
    Layer lone("L");
    Packet q;
    lone.prepare_head(q);
    q.put8(1);
    lone.message(q);
    lone.receive(q);
    lone.fail("x");
}

TEST(ProtocolFramework, NamesAndStatuses)
{
    Protocol_name_str none(nullptr);
    Protocol_name_null null_name;
    EXPECT_STREQ(none.name(), "(no name)");
    EXPECT_FALSE(none.compare(null_name));
    EXPECT_FALSE(null_name.compare(none));
    EXPECT_TRUE(none.compare(Protocol_name_str("(no name)")));
    EXPECT_FALSE(none.compare(Protocol_name_str("TPKT")));
    EXPECT_STREQ(ProtocolsFamily().name().name(), "(no name)");

    std::ostringstream os;
    Protocol_status a(new Protocol_status_success(nullptr, "TPKT deactivated"));
    a->out(os);
    EXPECT_EQ(os.str(), "TPKT deactivated");
    Protocol_status b = a;
    a = nullptr;
    EXPECT_EQ(b->message(), "TPKT deactivated");   // the second holder keeps it
    EXPECT_EQ(b->refcount, 1u);
}

TEST(ProtocolFrameworkDeathTest, NullStatusIsFatal)
{
    EXPECT_DEATH({ Layer("L").on_deactivate(Protocol_status()); }, "SMART POINTER ASSERTION!");
}
