#include "hardware/HwTests.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "asn1/modules/LGCP.h"
#include "hardware/HwMux.h"
#include "runtime/ExtStream.h"

namespace {

unsigned char nextPatternByte()
{
    return static_cast<unsigned char>(::random() & 0xFF);
}

} // namespace

HwTests& HwTests::instance()
{
    static HwTests tests;
    return tests;
}

HwTests::HwTests() : mux_(nullptr) {}

HwTests::HwTests(HwMux& mux) : mux_(&mux) {}

bool HwTests::OnCommand(const LGCP::Command& command)
{
    if (command.currentSelection() != LGCP::Command::testBpc_chosen)
        return false;
    OnTestBpc(command.get_testBpc());
    return true;
}

// A run past the last shared-bus channel names channels the switch does not
// have: it is refused before anything is touched.
void HwTests::OnTestBpc(const LGCP::BpcTestParams& params)
{
    bus_ = params.get_bus().getValue();
    first_ = Hal::kBusBase + bus_ * Hal::kBusChannels + params.get_timeslot_start().getValue();
    end_ = first_ + params.get_timeslot_length().getValue();
    seed_ = params.get_seed().getValue();
    ::srandom(static_cast<unsigned>(seed_));
    if (mux_ == nullptr)
        mux_ = &HwMux::instance();
    if (end_ > static_cast<std::uint32_t>(Hal::kChannels)) {
        Error(LGCP::ErrorCause::invalidParams);
        return;
    }
    switch (params.get_mode().currentSelection()) {
    case LGCP::BpcTestMode::read_chosen:
        TestRead();
        break;
    case LGCP::BpcTestMode::write_chosen:
        TestWrite();
        break;
    case LGCP::BpcTestMode::disconnect_chosen:
        TestDisconnect();
        break;
    default:
        Error(LGCP::ErrorCause::invalidParams);
        break;
    }
}

void HwTests::Check(const char* failed, const char* expectedWord, const char* gotWord)
{
    for (std::uint32_t c = first_; c < end_; ++c) {
        unsigned char expected = nextPatternByte();
        unsigned char got = mux_->Read(static_cast<int>(c));
        if (got != expected) {
            std::cerr << ext::header(this) << failed << " failed on channel " << c % Hal::kBusChannels << ' '
                      << expectedWord << ' ' << ext::OutBufInHex(&expected, 1) << ' ' << gotWord << ' '
                      << ext::OutBufInHex(&got, 1) << std::endl;
            Error(LGCP::ErrorCause::busError);
            return;
        }
    }
    Success();
}

void HwTests::TestRead()
{
    Check("test", "expected", "read");
}

void HwTests::TestWrite()
{
    for (std::uint32_t c = first_; c < end_; ++c)
        mux_->Write(static_cast<int>(c), nextPatternByte());
    ::usleep(500);
    ::srandom(static_cast<unsigned>(seed_));
    Check("write", "write", "written");
}

void HwTests::TestDisconnect()
{
    for (std::uint32_t c = first_; c < end_; ++c)
        mux_->Disable(static_cast<int>(c));
    ::usleep(250);
    Success();
}
