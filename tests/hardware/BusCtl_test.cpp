#include <fcntl.h>

#include <cerrno>

#include "ControlProbe.h"
#include "hardware/BusCtl.h"
#include "hardware/SimBoard.h"
#include "hardware/SimHal.h"
#include "hardware/SpiRecords.h"
#include "hardware/spiCtrl.h"

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

class BusCtlTest : public probe::ServiceTest {
protected:
    BusCtlTest() : spi_(sim_), bus_(sim_, &spi_), controller_(bus_)
    {
        sim_.clearRequests();
        takeClog();
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
    spiCtrl spi_;
    BusCtl bus_;
    probe::ControlProbe controller_;
};

const char* const kDefaultCmd = "clkctl: set clock source cmd: {\n  clkSel0 internal,\n  bextEn disabled,\n  source -1\n}\n";

} // namespace

TEST_F(BusCtlTest, ConnectAndDisconnectSelectTheFreeRunningClock)
{
    controller_.connect();
    EXPECT_EQ(takeCerr(), std::string(kDefaultCmd) + "clkctl: clock source = freerun\n");
    const SimBoard::Request& open = sim_.requests().front();
    EXPECT_EQ(open.op, SimBoard::Op::Open);
    EXPECT_EQ(open.value & O_ACCMODE, O_RDWR);
    EXPECT_EQ(fcntl(open.result, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    const SimBoard::Request& select = sim_.requests().back();
    EXPECT_EQ(select.data, (std::vector<unsigned char>{0, 0, 0, 4}));
    EXPECT_EQ(codes(), std::vector<int>{4});
    EXPECT_EQ(sim_.hal().clockSource(), 4);

    controller_.disconnect();
    EXPECT_EQ(codes(), std::vector<int>{4});
    EXPECT_EQ(sim_.requests(SimBoard::Op::Open, "/dev/hal").size(), 0u);   // kept open
}

TEST_F(BusCtlTest, ClockCfgCodesForEachSourceForm)
{
    controller_.offer(clockCfg(LGCP::ClkSel0::external, LGCP::BExtEn::enabled, 2));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"success"});
    EXPECT_EQ(codes(), std::vector<int>{2});
    EXPECT_EQ(sim_.hal().clockSource(), 2);
    std::string log = takeCerr();
    EXPECT_EQ(log.substr(log.find("}\n")), "}\nclkctl: clock source = f2\n");

    controller_.offer(clockCfg(LGCP::ClkSel0::external, LGCP::BExtEn::disabled, 2));
    EXPECT_EQ(codes(), std::vector<int>{5});
    log = takeCerr();
    EXPECT_EQ(log.substr(log.find("}\n")), "}\nclkctl: clock source = X3\n");

    controller_.offer(clockCfg(LGCP::ClkSel0::internal, LGCP::BExtEn::enabled, 3));
    EXPECT_EQ(codes(), std::vector<int>{4});
    takeCerr();

    // No source: nothing reaches the driver, the answer is still success.
    controller_.offer(clockCfg(LGCP::ClkSel0::external, LGCP::BExtEn::enabled, -1));
    EXPECT_EQ(codes(), std::vector<int>());
    EXPECT_EQ(takeCerr(),
              "clkctl: set clock source cmd: {\n  clkSel0 external,\n  bextEn enabled,\n  source -1\n}\n");

    // Codes past the name table reach the driver unchanged and are named "?".
    controller_.offer(clockCfg(LGCP::ClkSel0::external, LGCP::BExtEn::enabled, 9));
    EXPECT_EQ(codes(), std::vector<int>{9});
    log = takeCerr();
    EXPECT_EQ(log.substr(log.find("}\n")), "}\nclkctl: clock source = ?\n");
    EXPECT_EQ(controller_.answers(), std::vector<std::string>(4, "success"));

    LGCP::Command ping;
    ping.set_ping();
    controller_.offer(ping);
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"error 4"});
}

TEST_F(BusCtlTest, ClockNames)
{
    const char* const names[] = {"f0", "f1", "f2", "f3", "freerun", "X3", "?1", "?2"};
    for (int code = 0; code < 8; ++code)
        EXPECT_STREQ(BusCtl::getclksrc_text(code), names[code]);
    EXPECT_STREQ(BusCtl::getclksrc_text(8), "?");
    EXPECT_STREQ(BusCtl::getclksrc_text(-1), "?");
}

TEST_F(BusCtlTest, DriverFailuresAreOnlyLogged)
{
    sim_.failIoctl("/dev/hal", Clock::kSelect, EIO);
    controller_.offer(clockCfg(LGCP::ClkSel0::external, LGCP::BExtEn::enabled, 1));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"success"});
    std::string log = takeCerr();
    EXPECT_EQ(log.substr(log.find("}\n")), "}\nclkctl: HW_CLOCK_SELECT fail.\n");
}

TEST_F(BusCtlTest, UnopenableDeviceReleasesTheBriClockMaster)
{
    spi_.clock(5);
    sim_.clearRequests();
    takeClog();
    sim_.failOpen("/dev/hal", EBUSY, 2);
    controller_.offer(clockCfg(LGCP::ClkSel0::external, LGCP::BExtEn::enabled, 1));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"success"});
    EXPECT_EQ(takeCerr(), "clkctl: set clock source fail: code 1.\n");
    EXPECT_EQ(takeClog(), "spi: clock master disabled\n");
    EXPECT_EQ(sim_.hal().spiRegister(5, 87), 48);
    EXPECT_EQ(codes(), std::vector<int>());

    controller_.connect();
    EXPECT_EQ(takeCerr(), "clkctl: set clock source fail: code 1.\n");
    // Tried again at the next use.
    controller_.disconnect();
    EXPECT_EQ(takeCerr(), std::string(kDefaultCmd) + "clkctl: clock source = freerun\n");
}

TEST_F(BusCtlTest, DisabledClockControlNeverTouchesTheDevice)
{
    bus_.DisableControl();
    EXPECT_EQ(takeClog(), "clock control disabled.\n");
    controller_.connect();
    controller_.disconnect();
    controller_.connect();
    controller_.offer(clockCfg(LGCP::ClkSel0::external, LGCP::BExtEn::enabled, 2));
    EXPECT_EQ(controller_.answers(), std::vector<std::string>{"error 6"});
    EXPECT_TRUE(sim_.requests().empty());
    EXPECT_FALSE(bus_.IsOpen());
    EXPECT_EQ(takeCerr(), "");
}
