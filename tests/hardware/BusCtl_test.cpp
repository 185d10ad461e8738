#include <fcntl.h>

#include <cerrno>

#include "ControlProbe.h"
#include "board/SpiRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimHal.h"
#include "hardware/BusCtl.h"
#include "hardware/spiCtrl.h"

using probe::Strings;

namespace {

LGCP::Command clockCfg(LGCP::ClkSel0::NamedNumber sel, LGCP::BExtEn::NamedNumber ext, int source)
{
    LGCP::Command command;
    LGCP::ClockCfg& cfg = command.set_clockCfg();
    cfg.set_clkSel0(sel);
    cfg.set_bextEn(ext);
    cfg.set_source(source);
    return command;
}

const LGCP::ClkSel0::NamedNumber kExternal = LGCP::ClkSel0::external;
const LGCP::BExtEn::NamedNumber kEnabled = LGCP::BExtEn::enabled;

std::string cmdLine(const char* sel, const char* ext, int source)
{
    return std::string("clkctl: set clock source cmd: {\n  clkSel0 ") + sel + ",\n  bextEn " + ext +
           ",\n  source " + std::to_string(source) + "\n}\n";
}

const std::string kFreeRun = cmdLine("internal", "disabled", -1) + "clkctl: clock source = freerun\n";

class BusCtlTest : public probe::ServiceTest {
protected:
    BusCtlTest()
    {
        controller_.connect();
        sim_.clearRequests();
        takeClog();
        takeCerr();
    }

    // The clock codes sent since the last call.
    std::vector<int> codes()
    {
        std::vector<int> out;
        for (const SimBoard::Request& r : sim_.requests(SimBoard::Op::Ioctl, "/dev/hal"))
            if (r.code == Clock::kSelect)
                out.push_back(Clock::SelectRecord::decode(r.data.data()).code);
        sim_.clearRequests();
        return out;
    }

    SimBoard sim_;
    spiCtrl spi_{sim_};
    BusCtl bus_{sim_, &spi_};
    probe::ControlProbe controller_{bus_};
};

} // namespace

TEST_F(BusCtlTest, ConnectAndDisconnectSelectTheFreeRunningClock)
{
    BusCtl bus(sim_, &spi_);
    bus.OnConnect();
    EXPECT_EQ(takeCerr(), kFreeRun);
    const SimBoard::Request& open = sim_.requests().front();
    EXPECT_EQ(open.value & O_ACCMODE, O_RDWR);
    EXPECT_EQ(fcntl(open.result, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_EQ(sim_.requests().back().data, (std::vector<unsigned char>{0, 0, 0, 4}));
    EXPECT_EQ(codes(), std::vector<int>{4});
    EXPECT_EQ(sim_.hal().clockSource(), 4);
    bus.OnDisconnect();
    EXPECT_EQ(codes(), std::vector<int>{4});   // on the descriptor already open
}

TEST_F(BusCtlTest, ClockCfgCodesForEachSourceFormReachTheBoard)
{
    controller_.offer(clockCfg(kExternal, kEnabled, 2));
    EXPECT_EQ(sim_.hal().clockSource(), 2);
    controller_.offer(clockCfg(kExternal, LGCP::BExtEn::disabled, 2));
    controller_.offer(clockCfg(LGCP::ClkSel0::internal, kEnabled, 3));
    controller_.offer(clockCfg(kExternal, kEnabled, -1));   // selects nothing
    controller_.offer(clockCfg(kExternal, kEnabled, 9));    // past the name table
    EXPECT_EQ(codes(), (std::vector<int>{2, 5, 4, 9}));
    EXPECT_EQ(takeCerr(), cmdLine("external", "enabled", 2) + "clkctl: clock source = f2\n" +
                              cmdLine("external", "disabled", 2) + "clkctl: clock source = X3\n" +
                              cmdLine("internal", "enabled", 3) + "clkctl: clock source = freerun\n" +
                              cmdLine("external", "enabled", -1) + cmdLine("external", "enabled", 9) +
                              "clkctl: clock source = ?\n");
    EXPECT_EQ(controller_.answers(), Strings(5, "success"));

    const char* const names[] = {"f0", "f1", "f2", "f3", "freerun", "X3", "?1", "?2", "?"};
    for (int code = -1; code < 9; ++code)
        EXPECT_STREQ(BusCtl::getclksrc_text(code), names[code < 0 ? 8 : code]);

    LGCP::Command ping;
    ping.set_ping();
    controller_.offer(ping);
    EXPECT_EQ(controller_.answers(), Strings{"error 4"});
}

TEST_F(BusCtlTest, DeviceFailuresAreOnlyLogged)
{
    sim_.failIoctl("/dev/hal", Clock::kSelect, EIO);
    controller_.offer(clockCfg(kExternal, kEnabled, 1));
    EXPECT_EQ(takeCerr(), cmdLine("external", "enabled", 1) + "clkctl: HW_CLOCK_SELECT fail.\n");

    // An unopenable device releases the BRI clock master instead.
    BusCtl bus(sim_, &spi_);
    probe::ControlProbe other(bus);
    spi_.clock(5);
    takeClog();
    sim_.failOpen("/dev/hal", EBUSY, 2);
    other.offer(clockCfg(kExternal, kEnabled, 1));
    EXPECT_EQ(takeCerr(), "clkctl: set clock source fail: code 1.\n");
    EXPECT_EQ(takeClog(), "spi: clock master disabled\n");
    EXPECT_EQ(sim_.hal().spiRegister(5, 87), 48);
    other.connect();
    EXPECT_EQ(takeCerr(), "clkctl: set clock source fail: code 1.\n");
    other.disconnect();   // tried again at the next use
    EXPECT_EQ(takeCerr(), kFreeRun);
    EXPECT_EQ(controller_.answers(), Strings{"success"});
    EXPECT_EQ(other.answers(), Strings{"success"});
}

TEST_F(BusCtlTest, DisabledClockControlNeverTouchesTheDevice)
{
    BusCtl bus(sim_, &spi_);
    probe::ControlProbe other(bus);
    takeClog();
    bus.DisableControl();
    EXPECT_EQ(takeClog(), "clock control disabled.\n");
    other.connect();
    other.offer(clockCfg(kExternal, kEnabled, 2));
    other.disconnect();
    EXPECT_EQ(other.answers(), Strings{"error 6"});
    EXPECT_TRUE(sim_.requests().empty());
    EXPECT_EQ(takeCerr(), "");
}
