// The daemon after many controllers that each left slots behind.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "ProbeSupport.h"

using namespace proctest;

// Slow: every controller loss costs the daemon a second. The count comes
// from STALVANE_PROBE_SESSIONS; unset, more sessions than the packet pool
// has packets, so that one packet kept by each would run it dry.
TEST(ProbeSlow, SessionsLeavingTheirSlotsLeaveNothingBehind)
{
    const char* count = std::getenv("STALVANE_PROBE_SESSIONS");
    const int sessions = count != nullptr ? std::atoi(count) : 1030;
    DaemonProcess d;
    ASSERT_TRUE(d.startOnPort());
    std::set<int> before;
    std::string resources;
    for (int i = 0; i < sessions; ++i) {
        std::unique_ptr<Controller> c = servedController(d);
        ASSERT_NE(c, nullptr) << i << "\n" << d.err();
        if (i == 1) {
            // The board's devices are open since the first session.
            before = descriptors(d.pid());
            ASSERT_EQ(c->command("command : query : NULL"), ok(2));
            resources = c->signal("query");
            continue;
        }
        ASSERT_EQ(c->command(trunk(0, 5), 1), ok(2, 1)) << i << "\n" << d.err();
        ASSERT_EQ(c->command(trunk(1, 7), 2), ok(3, 2)) << i;
        ASSERT_EQ(c->command("command : connect : 2", 1), ok(4, 1)) << i;
    }
    std::unique_ptr<Controller> last = servedController(d);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->command("command : query : NULL"), ok(2));
    EXPECT_EQ(last->signal("query"), resources);
    EXPECT_EQ(last->command("command : destroy : NULL", 1), "{ seq 3, slot 1, pdu response : error : slotNotExists }");
    EXPECT_EQ(descriptors(d.pid()), before);
    EXPECT_EQ(d.err().find("packet pool exhausted"), std::string::npos);
    ASSERT_TRUE(d.signal(SIGTERM));
    EXPECT_EQ(d.wait(), 0);
}
