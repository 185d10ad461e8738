#include <fcntl.h>

#include <cerrno>

#include "ControlProbe.h"
#include "hardware/E1Ctl.h"
#include "hardware/E1Records.h"
#include "hardware/SimBoard.h"
#include "hardware/SimCas.h"
#include "hardware/SimMaintenance.h"

namespace {

using Strings = std::vector<std::string>;

LGCP::Command trunkCfg(int trunk, LGCP::TrunkMode::NamedNumber mode)
{
    LGCP::Command command;
    LGCP::TrunkCfg& cfg = command.set_trunkCfg();
    cfg.set_trunk(trunk);
    cfg.set_mode(mode);
    return command;
}

enum class CasOp { Open, Close, Set, Get };

LGCP::Command cas(CasOp op, int path, int timeslot, int value = 0)
{
    LGCP::Command command;
    LGCP::CasCommand& c = command.set_ioctl().set_cas();
    c.get_channel().set_path(path);
    c.get_channel().set_timeslot(timeslot);
    LGCP::CasCommandSignal& cmd = c.get_cmd();
    switch (op) {
    case CasOp::Open: cmd.set_open(value); break;
    case CasOp::Close: cmd.set_close(); break;
    case CasOp::Set: cmd.set_set(value); break;
    case CasOp::Get: cmd.set_get(); break;
    }
    return command;
}

const char* const kCas = "/dev/e1-cas";
const char* const kMaintenance = "/dev/maintenance";

class E1CtlTest : public probe::ServiceTest {
protected:
    E1CtlTest() : e1_(sim_), controller_(e1_) { takeClog(); }

    // The requests of the CAS device since the last call, as code and record or value.
    std::vector<std::string> casRequests()
    {
        std::vector<std::string> out;
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
    E1Ctl e1_;
    probe::ControlProbe controller_;
};

} // namespace

TEST_F(E1CtlTest, GoldenStatusRecordFieldsReachTheSignal)
{
    SimMaintenance::Record golden{};
    golden[39] = 3;                   // slips
    golden[43] = 4;                   // lossBF
    golden[46] = 1;                   // lossCarrier 256
    golden[51] = 6;                   // lossAIS
    golden[52] = 0x7F; golden[55] = 7;   // lossRAI
    golden[79] = 4;                   // rai
    golden[60] = 0xEE;                // bytes the service does not read
    sim_.maintenance().setStatusBytes(1, golden);

    controller_.connect();
    EXPECT_EQ(controller_.signals(), (Strings{
                                         "trunk 0 normal slips 0 bf 0 carrier 0 ais 0 rai 0 e1",
                                         "trunk 1 rai slips 3 bf 4 carrier 256 ais 6 rai 2130706439 e1",
                                         "trunk 2 normal slips 0 bf 0 carrier 0 ais 0 rai 0 e1",
                                         "trunk 3 normal slips 0 bf 0 carrier 0 ais 0 rai 0 e1",
                                     }));
    const SimBoard::Request& open = sim_.requests().front();
    EXPECT_EQ(open.device, kMaintenance);
    EXPECT_EQ(open.value, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    std::vector<SimBoard::Request> status = sim_.requests(SimBoard::Op::Ioctl, kMaintenance);
    ASSERT_EQ(status.size(), 4u);
    Maintenance::TrunkStatusRecord::Bytes sent{};
    sent[3] = 2;
    EXPECT_EQ(status[2].code, 0xC0504D03u);
    EXPECT_EQ(status[2].data, std::vector<unsigned char>(sent.begin(), sent.end()));
}

TEST_F(E1CtlTest, StatusPollEverySecondAndAFailingTrunkDoesNotStopTheOthers)
{
    Maintenance::TrunkStatusRecord lost;
    lost.state = 2;
    sim_.maintenance().setStatus(3, lost);
    sim_.maintenance().failTrunk(1, EIO);
    controller_.connect();
    EXPECT_EQ(takeCerr(), "E1: synchronization status read fail, trunk = 1 cause = Input/output error\n");
    EXPECT_EQ(controller_.signals().size(), 3u);

    sim_.maintenance().failTrunk(1, 0);
    advance(999);
    EXPECT_TRUE(controller_.signals().empty());
    advance(1);
    Strings polled = controller_.signals();
    ASSERT_EQ(polled.size(), 4u);
    EXPECT_EQ(polled[3], "trunk 3 lossCarrier slips 0 bf 0 carrier 0 ais 0 rai 0 e1");

    // The poll goes on without a controller.
    controller_.disconnect();
    sim_.clearRequests();
    advance(1000);
    EXPECT_EQ(sim_.requests(SimBoard::Op::Ioctl, kMaintenance).size(), 4u);
    EXPECT_TRUE(e1_.isPollingForTest());
}

TEST_F(E1CtlTest, MissingMaintenanceDeviceIsSilentAndRetried)
{
    sim_.failOpen(kMaintenance, ENOENT, 2);
    controller_.connect();
    EXPECT_TRUE(controller_.signals().empty());
    EXPECT_EQ(takeCerr(), "");
    EXPECT_TRUE(sim_.maintenance().tclkHistory().empty());
    advance(1000);
    EXPECT_EQ(controller_.signals().size(), 4u);
    EXPECT_EQ(sim_.requests(SimBoard::Op::Open, kMaintenance).size(), 3u);
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

    // Reconnection resets the mask and writes it.
    controller_.connect();
    EXPECT_EQ(sim_.maintenance().tclkHistory().back(), 0u);
    EXPECT_EQ(e1_.tclkForTest(), 0u);

    sim_.failIoctl(kMaintenance, Maintenance::kTclk, EIO);
    controller_.offer(trunkCfg(1, LGCP::TrunkMode::slave));
    EXPECT_EQ(takeCerr(), "E1: fail to set TCLK [cause=Input/output error]\n");
}

TEST_F(E1CtlTest, CasOpenSetGetClose)
{
    controller_.connect();
    EXPECT_EQ(takeClog(), "ctrl [probe]: controller connect.\nE1: TCLT = 0x0\nE1: cas interface opened!\n");
    controller_.signals();
    sim_.clearRequests();

    // Time slot 0 or 16: the trunk only.
    controller_.offer(cas(CasOp::Open, 2, 16, 5));
    EXPECT_EQ(controller_.signals(), Strings{"cas 2/0 rx 0 tx 0"});
    EXPECT_EQ(casRequests(), Strings{"80044300 value 2"});
    EXPECT_EQ(takeClog(), "E1: open cas signalling on trunk(2) - ok\n");
    EXPECT_TRUE(sim_.cas().trunkOpen(2));

    // Open trunk: no open request; slot 5 enabled with tx, then its bits reported.
    sim_.cas().changeRx(2, 5, 0x9);
    controller_.offer(cas(CasOp::Open, 2, 5, 0x13));
    EXPECT_EQ(controller_.signals(), (Strings{"cas 2/0 rx 0 tx 0", "cas 2/5 rx 9 tx 3"}));
    EXPECT_EQ(casRequests(), (Strings{"c0104304 0 0 0 2 0 0 0 5 0 3 0 0 0 0 0 0",
                                      "c00c4303 0 0 0 2 0 0 0 5 0 0 0 0"}));

    controller_.offer(cas(CasOp::Set, 2, 5, 0xFA));
    EXPECT_EQ(controller_.signals(), Strings{"cas 2/5 rx 9 tx 10"});
    EXPECT_EQ(casRequests(), (Strings{"c00c4302 0 0 0 2 0 0 0 5 0 10 0 0", "c00c4303 0 0 0 2 0 0 0 5 0 0 0 0"}));

    controller_.offer(cas(CasOp::Get, 2, 5));
    EXPECT_EQ(controller_.signals(), Strings{"cas 2/5 rx 9 tx 10"});
    EXPECT_EQ(casRequests(), Strings{"c00c4303 0 0 0 2 0 0 0 5 0 0 0 0"});

    controller_.offer(cas(CasOp::Close, 2, 5));
    EXPECT_EQ(controller_.signals(), Strings{"cas 2/5 rx -1 tx 1"});
    EXPECT_EQ(casRequests(), (Strings{"c0104304 0 0 0 2 0 0 0 5 0 0 0 0 0 0 0 1"}));
    EXPECT_FALSE(sim_.cas().slot(2, 5).enabled);

    controller_.offer(cas(CasOp::Close, 2, 0));
    EXPECT_EQ(controller_.signals(), Strings{"cas 2/0 rx 1 tx 0"});
    EXPECT_EQ(casRequests(), Strings{"80044301 value 2"});
    EXPECT_FALSE(e1_.casOpenForTest(2));

    // A closed trunk: close, set and get do nothing.
    controller_.offer(cas(CasOp::Close, 2, 0));
    controller_.offer(cas(CasOp::Set, 2, 5, 1));
    controller_.offer(cas(CasOp::Get, 2, 5));
    EXPECT_TRUE(controller_.signals().empty());
    EXPECT_TRUE(casRequests().empty());
    EXPECT_EQ(controller_.answers(), Strings(9, "success"));
}

TEST_F(E1CtlTest, CasFailuresAndPathsOutsideTheTrunks)
{
    connected();
    for (int path : {4, -1}) {
        controller_.offer(cas(CasOp::Open, path, 5, 1));
        controller_.offer(cas(CasOp::Get, path, 5));
    }
    EXPECT_EQ(controller_.answers(), Strings(4, "success"));
    EXPECT_TRUE(controller_.signals().empty());
    EXPECT_TRUE(casRequests().empty());

    sim_.failIoctl(kCas, Cas::kOpenTrunk, EIO);
    controller_.offer(cas(CasOp::Open, 1, 5, 1));
    EXPECT_EQ(controller_.signals(), Strings{"cas 1/0 rx -1 tx 0"});
    EXPECT_EQ(takeClog(), "E1: open cas signalling on trunk(1) - fail(-1)\n");
    EXPECT_FALSE(e1_.casOpenForTest(1));

    controller_.offer(cas(CasOp::Open, 1, 0));
    controller_.signals();
    sim_.failIoctl(kCas, Cas::kSlot, EIO);
    controller_.offer(cas(CasOp::Open, 1, 7, 2));
    EXPECT_EQ(controller_.signals(), (Strings{"cas 1/0 rx 0 tx 0", "cas 1/7 rx -1 tx 0"}));
    sim_.failIoctl(kCas, Cas::kGetBits, EIO);
    controller_.offer(cas(CasOp::Get, 1, 7));
    sim_.failIoctl(kCas, Cas::kSetBits, EIO);
    controller_.offer(cas(CasOp::Set, 1, 7, 3));
    sim_.failIoctl(kCas, Cas::kSlot, EIO);
    controller_.offer(cas(CasOp::Close, 1, 7));
    sim_.failIoctl(kCas, Cas::kCloseTrunk, EIO);
    controller_.offer(cas(CasOp::Close, 1, 0));
    EXPECT_EQ(controller_.signals(),
              (Strings{"cas 1/7 rx -1 tx 0", "cas 1/7 rx -1 tx 0", "cas 1/7 rx -1 tx 0", "cas 1/0 rx -1 tx 0"}));
    EXPECT_TRUE(e1_.casOpenForTest(1));
}

TEST_F(E1CtlTest, LineChangesReachTheControllerAsCasSignals)
{
    connected();
    controller_.offer(cas(CasOp::Open, 0, 9, 4));
    controller_.signals();
    sim_.clearRequests();

    ASSERT_TRUE(sim_.cas().changeRx(0, 9, 0xC));
    multiplexer.runTurnForTest();
    EXPECT_EQ(controller_.signals(), Strings{"cas 0/9 rx 12 tx 4"});
    std::vector<SimBoard::Request> reads = sim_.requests(SimBoard::Op::Read, kCas);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].data, (std::vector<unsigned char>{0, 0, 0, 0, 0, 0, 0, 9, 12, 4, 0, 0}));

    // One record per turn; a short record is dropped.
    sim_.cas().changeRx(0, 9, 0x1);
    const unsigned char shortRecord[] = {0, 0, 0, 0, 0, 0, 0, 9};
    sim_.cas().sendEvent(shortRecord, sizeof shortRecord);
    sim_.cas().changeRx(0, 9, 0x2);
    multiplexer.runTurnForTest();
    EXPECT_EQ(controller_.signals(), Strings{"cas 0/9 rx 1 tx 4"});
    multiplexer.runTurnForTest();
    EXPECT_TRUE(controller_.signals().empty());
    multiplexer.runTurnForTest();
    EXPECT_EQ(controller_.signals(), Strings{"cas 0/9 rx 2 tx 4"});
}

TEST_F(E1CtlTest, MissingCasDeviceIsRetriedAtEachPoll)
{
    sim_.failOpen(kCas, ENOENT, 2);
    controller_.connect();
    controller_.signals();
    controller_.offer(cas(CasOp::Open, 0, 0));
    EXPECT_EQ(controller_.answers(), Strings{"success"});
    EXPECT_TRUE(controller_.signals().empty());
    EXPECT_EQ(takeClog(), "ctrl [probe]: controller connect.\nE1: TCLT = 0x0\n");

    advance(1000);
    EXPECT_EQ(takeClog(), "E1: cas interface opened!\n");
    EXPECT_EQ(sim_.requests(SimBoard::Op::Open, kCas).size(), 3u);
    EXPECT_EQ(sim_.opens(kCas).size(), 1u);
    controller_.signals();
    controller_.offer(cas(CasOp::Open, 0, 0));
    EXPECT_EQ(controller_.signals(), Strings{"cas 0/0 rx 0 tx 0"});
}

TEST_F(E1CtlTest, OtherCommandsAreNotTaken)
{
    LGCP::Command ping;
    ping.set_ping();
    controller_.offer(ping);
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"error 4"});
}
