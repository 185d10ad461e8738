#include <fcntl.h>

#include <cerrno>

#include "ControlProbe.h"
#include "board/E1Records.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimCas.h"
#include "board/sim/SimMaintenance.h"
#include "hardware/E1Ctl.h"

using probe::Strings;

namespace {

LGCP::Command trunkCfg(int trunk, LGCP::TrunkMode::NamedNumber mode)
{
    LGCP::Command command;
    command.set_trunkCfg().set_trunk(trunk);
    command.get_trunkCfg().set_mode(mode);
    return command;
}

enum class Op { Open, Close, Set, Get };

LGCP::Command cas(Op op, int path, int timeslot, int value = 0)
{
    LGCP::Command command;
    LGCP::CasCommand& c = command.set_ioctl().set_cas();
    c.get_channel().set_path(path);
    c.get_channel().set_timeslot(timeslot);
    if (op == Op::Open)
        c.get_cmd().set_open(value);
    else if (op == Op::Close)
        c.get_cmd().set_close();
    else if (op == Op::Set)
        c.get_cmd().set_set(value);
    else
        c.get_cmd().set_get();
    return command;
}

const char* const kCas = "/dev/e1-cas";
const char* const kMaintenance = "/dev/maintenance";
const char* const kConnectLine = "ctrl [probe]: controller connect.\n";

class E1CtlTest : public probe::ServiceTest {
protected:
    E1CtlTest() { takeClog(); }

    // The CAS requests since the last call: code, then the value or the record bytes.
    Strings casRequests()
    {
        Strings out;
        for (const SimBoard::Request& r : sim_.requests()) {
            if (r.device != kCas || (r.op != SimBoard::Op::Ioctl && r.op != SimBoard::Op::IoctlValue))
                continue;
            std::ostringstream os;
            os << std::hex << r.code << std::dec;
            if (r.op == SimBoard::Op::IoctlValue)
                os << " value " << r.value;
            for (unsigned char b : r.data)
                os << ' ' << static_cast<int>(b);
            out.push_back(os.str());
        }
        sim_.clearRequests();
        return out;
    }
    void connected()
    {
        controller_.connect();
        controller_.signals();
        sim_.clearRequests();
        takeClog();
    }

    SimBoard sim_;
    E1Ctl e1_{sim_};
    probe::ControlProbe controller_{e1_};
};

} // namespace

TEST_F(E1CtlTest, GoldenStatusRecordAndAFailingTrunkThatDoesNotStopTheOthers)
{
    SimMaintenance::Record golden{};
    golden[39] = 3;                       // slips
    golden[43] = 4;                       // lossBF
    golden[46] = 1;                       // lossCarrier 256
    golden[51] = 6;                       // lossAIS
    golden[52] = 0x7F, golden[55] = 7;    // lossRAI
    golden[79] = 4;                       // rai
    golden[60] = 0xEE;                    // not read
    sim_.maintenance().setStatusBytes(1, golden);
    sim_.maintenance().failTrunk(2, EIO);
    controller_.connect();
    EXPECT_EQ(controller_.signals(), (Strings{"trunk 0 normal slips 0 bf 0 carrier 0 ais 0 rai 0 e1",
                                             "trunk 1 rai slips 3 bf 4 carrier 256 ais 6 rai 2130706439 e1",
                                             "trunk 3 normal slips 0 bf 0 carrier 0 ais 0 rai 0 e1"}));
    EXPECT_EQ(takeCerr(), "E1: synchronization status read fail, trunk = 2 cause = Input/output error\n");
    const SimBoard::Request& open = sim_.requests().front();
    EXPECT_EQ(open.device, kMaintenance);
    EXPECT_EQ(open.value, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    std::vector<SimBoard::Request> status = sim_.requests(SimBoard::Op::Ioctl, kMaintenance);
    ASSERT_EQ(status.size(), 4u);
    std::vector<unsigned char> sent(80);
    sent[3] = 3;
    EXPECT_EQ(status[3].data, sent);
}

TEST_F(E1CtlTest, StateTheEnumerationLacksIsReportedUnknownWithItsCounters)
{
    Maintenance::TrunkStatusRecord status;
    status.slips = 9;
    status.state = 7;
    sim_.maintenance().setStatus(1, status);
    status.state = -1;
    sim_.maintenance().setStatus(2, status);
    controller_.connect();
    EXPECT_EQ(controller_.signals(), (Strings{"trunk 0 normal slips 0 bf 0 carrier 0 ais 0 rai 0 e1",
                                             "trunk 1 unknown slips 9 bf 0 carrier 0 ais 0 rai 0 e1",
                                             "trunk 2 unknown slips 9 bf 0 carrier 0 ais 0 rai 0 e1",
                                             "trunk 3 normal slips 0 bf 0 carrier 0 ais 0 rai 0 e1"}));
    EXPECT_EQ(takeCerr(), "");
}

TEST_F(E1CtlTest, StatusPollEverySecondForTheLifeOfTheProcess)
{
    sim_.failOpen(kMaintenance, ENOENT, 1);
    controller_.connect();
    EXPECT_TRUE(controller_.signals().empty());   // missing device: silent, tried again
    EXPECT_EQ(takeCerr(), "");
    advance(999);
    EXPECT_TRUE(controller_.signals().empty());
    advance(1);
    EXPECT_EQ(controller_.signals().size(), 4u);
    controller_.disconnect();
    sim_.clearRequests();
    advance(1000);
    EXPECT_EQ(sim_.requests(SimBoard::Op::Ioctl, kMaintenance).size(), 4u);
}

TEST_F(E1CtlTest, TrunkCfgSequencesGiveTheTclkMasks)
{
    connected();
    EXPECT_EQ(sim_.maintenance().tclkHistory(), std::vector<std::uint32_t>{0});
    for (auto cfg : {trunkCfg(2, LGCP::TrunkMode::slave), trunkCfg(0, LGCP::TrunkMode::slave),
                     trunkCfg(2, LGCP::TrunkMode::master), trunkCfg(2, LGCP::TrunkMode::master),
                     trunkCfg(-1, LGCP::TrunkMode::slave), trunkCfg(32, LGCP::TrunkMode::slave),
                     trunkCfg(31, LGCP::TrunkMode::slave)})
        controller_.offer(cfg);
    EXPECT_EQ(controller_.answers(), Strings(7, "success"));
    EXPECT_EQ(sim_.maintenance().tclkHistory(), (std::vector<std::uint32_t>{0, 0x4, 0x5, 0x1, 0x1, 0x80000001}));
    EXPECT_EQ(takeClog(), "E1: TCLT = 0x4\nE1: TCLT = 0x5\nE1: TCLT = 0x1\nE1: TCLT = 0x1\nE1: TCLT = 0x80000001\n");

    controller_.connect();   // a new controller starts from 0
    EXPECT_EQ(sim_.maintenance().tclkHistory().back(), 0u);
    sim_.failIoctl(kMaintenance, Maintenance::kTclk, EIO);
    controller_.offer(trunkCfg(1, LGCP::TrunkMode::slave));
    EXPECT_EQ(takeCerr(), "E1: fail to set TCLK [cause=Input/output error]\n");
}

TEST_F(E1CtlTest, CasOpenSetGetClose)
{
    controller_.connect();
    EXPECT_EQ(takeClog(), std::string(kConnectLine) + "E1: TCLT = 0x0\nE1: cas interface opened!\n");
    controller_.signals();
    sim_.clearRequests();

    controller_.offer(cas(Op::Open, 2, 16, 5));   // time slot 0 or 16: the trunk only
    EXPECT_EQ(controller_.signals(), Strings{"cas 2/0 rx 0 tx 0"});
    EXPECT_EQ(casRequests(), Strings{"80044300 value 2"});
    EXPECT_EQ(takeClog(), "E1: open cas signalling on trunk(2) - ok\n");

    sim_.cas().changeRx(2, 5, 0x9);
    controller_.offer(cas(Op::Open, 2, 5, 0x13));   // already open: no open request
    EXPECT_EQ(controller_.signals(), (Strings{"cas 2/0 rx 0 tx 0", "cas 2/5 rx 9 tx 3"}));
    EXPECT_EQ(casRequests(), (Strings{"c0104304 0 0 0 2 0 0 0 5 0 3 0 0 0 0 0 0", "c00c4303 0 0 0 2 0 0 0 5 0 0 0 0"}));

    controller_.offer(cas(Op::Set, 2, 5, 0xFA));
    controller_.offer(cas(Op::Get, 2, 5));
    EXPECT_EQ(controller_.signals(), (Strings{"cas 2/5 rx 9 tx 10", "cas 2/5 rx 9 tx 10"}));
    EXPECT_EQ(casRequests(), (Strings{"c00c4302 0 0 0 2 0 0 0 5 0 10 0 0", "c00c4303 0 0 0 2 0 0 0 5 0 0 0 0",
                                      "c00c4303 0 0 0 2 0 0 0 5 0 0 0 0"}));

    controller_.offer(cas(Op::Close, 2, 5));
    controller_.offer(cas(Op::Close, 2, 0));
    EXPECT_EQ(controller_.signals(), (Strings{"cas 2/5 rx -1 tx 1", "cas 2/0 rx 1 tx 0"}));
    EXPECT_EQ(casRequests(), (Strings{"c0104304 0 0 0 2 0 0 0 5 0 0 0 0 0 0 0 1", "80044301 value 2"}));
    EXPECT_FALSE(sim_.cas().trunkOpen(2));

    for (Op op : {Op::Close, Op::Set, Op::Get})   // a closed trunk
        controller_.offer(cas(op, 2, op == Op::Close ? 0 : 5, 1));
    for (int path : {4, -1})
        controller_.offer(cas(Op::Open, path, 5, 1));
    EXPECT_TRUE(controller_.signals().empty());
    EXPECT_TRUE(casRequests().empty());
    EXPECT_EQ(controller_.answers(), Strings(11, "success"));
}

TEST_F(E1CtlTest, CasDriverFailuresGoToTheController)
{
    connected();
    sim_.failIoctl(kCas, Cas::kOpenTrunk, EIO);
    controller_.offer(cas(Op::Open, 1, 5, 1));
    EXPECT_EQ(controller_.signals(), Strings{"cas 1/0 rx -1 tx 0"});
    EXPECT_EQ(takeClog(), "E1: open cas signalling on trunk(1) - fail(-1)\n");
    EXPECT_FALSE(e1_.casOpenForTest(1));

    controller_.offer(cas(Op::Open, 1, 0));
    const std::pair<std::uint32_t, LGCP::Command> faults[] = {
        {Cas::kSlot, cas(Op::Open, 1, 7, 2)}, {Cas::kGetBits, cas(Op::Get, 1, 7)}, {Cas::kSetBits, cas(Op::Set, 1, 7, 3)},
        {Cas::kSlot, cas(Op::Close, 1, 7)},   {Cas::kCloseTrunk, cas(Op::Close, 1, 0)}};
    for (const auto& fault : faults) {
        sim_.failIoctl(kCas, fault.first, EIO);
        controller_.offer(fault.second);
    }
    EXPECT_EQ(controller_.signals(), (Strings{"cas 1/0 rx 0 tx 0", "cas 1/0 rx 0 tx 0", "cas 1/7 rx -1 tx 0",
                                             "cas 1/7 rx -1 tx 0", "cas 1/7 rx -1 tx 0", "cas 1/7 rx -1 tx 0",
                                             "cas 1/0 rx -1 tx 0"}));
    EXPECT_TRUE(e1_.casOpenForTest(1));
}

TEST_F(E1CtlTest, LineChangesReachTheControllerOneRecordPerTurn)
{
    connected();
    controller_.offer(cas(Op::Open, 0, 9, 4));
    controller_.signals();
    sim_.clearRequests();
    ASSERT_TRUE(sim_.cas().changeRx(0, 9, 0xC));
    multiplexer.runTurnForTest();
    EXPECT_EQ(controller_.signals(), Strings{"cas 0/9 rx 12 tx 4"});
    std::vector<SimBoard::Request> reads = sim_.requests(SimBoard::Op::Read, kCas);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].data, (std::vector<unsigned char>{0, 0, 0, 0, 0, 0, 0, 9, 12, 4, 0, 0}));

    sim_.cas().changeRx(0, 9, 0x1);
    const unsigned char shortRecord[] = {0, 0, 0, 0, 0, 0, 0, 9};
    sim_.cas().sendEvent(shortRecord, sizeof shortRecord);
    sim_.cas().changeRx(0, 9, 0x2);
    for (const char* expected : {"cas 0/9 rx 1 tx 4", "", "cas 0/9 rx 2 tx 4"}) {
        multiplexer.runTurnForTest();
        EXPECT_EQ(controller_.signals(), *expected ? Strings{expected} : Strings());
    }
}

TEST_F(E1CtlTest, MissingCasDeviceIsRetriedAtEachPoll)
{
    sim_.failOpen(kCas, ENOENT, 2);
    controller_.connect();
    controller_.signals();
    controller_.offer(cas(Op::Open, 0, 0));
    EXPECT_TRUE(controller_.signals().empty());
    EXPECT_EQ(takeClog(), std::string(kConnectLine) + "E1: TCLT = 0x0\n");
    advance(1000);
    EXPECT_EQ(takeClog(), "E1: cas interface opened!\n");
    EXPECT_EQ(sim_.requests(SimBoard::Op::Open, kCas).size(), 3u);
    controller_.signals();
    controller_.offer(cas(Op::Open, 0, 0));
    EXPECT_EQ(controller_.signals(), Strings{"cas 0/0 rx 0 tx 0"});

    LGCP::Command ping;
    ping.set_ping();
    controller_.offer(ping);
    EXPECT_EQ(controller_.answers(), (Strings{"success", "success", "error 4"}));
}
