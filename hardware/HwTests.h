#pragma once
// The controller's shared-bus tests (testBpc): on a run of consecutive
// shared-bus channels of the time-slot switch, write a pseudo-random pattern
// and read it back, check the run against the pattern, or disable the run.
// The pattern is the low-order byte of successive random() values after
// srandom(seed), one per channel in ascending order, so a peer with the same
// seed sees the same bytes. The whole test, its short waits included, runs
// inside the command's handling.
#include <cstdint>
#include <ostream>

#include "control/CtrlSrvService.h"

class HwMux;

class HwTests : public CtrlSrv::Service {
public:
    // The process's service on the process's switch.
    static HwTests& instance();

    HwTests();
    explicit HwTests(HwMux& mux);
    HwTests(const HwTests&) = delete;
    HwTests& operator=(const HwTests&) = delete;

    void OnConnect() override {}
    void OnDisconnect() override {}
    bool OnCommand(const LGCP::Command& command) override;

    void OnTestBpc(const LGCP::BpcTestParams& params);
    void TestRead();
    void TestWrite();
    void TestDisconnect();

    void PutHeader(std::ostream& os) const { os << "bus " << bus_ << ": "; }

private:
    // Compares the run with the pattern; the first difference is logged with
    // the two words given and answered busError.
    void Check(const char* failed, const char* expected, const char* got);

    HwMux* mux_;
    std::uint32_t bus_ = 0;
    std::uint32_t first_ = 0;
    std::uint32_t end_ = 0;
    std::int32_t seed_ = 0;
};
