#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "board/DspRecords.h"
#include "board/TonecRecords.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimDsp.h"
#include "board/sim/SimDtmf.h"
#include "tests/board/sim/SimFailure.h"

namespace {

template <class Record>
int request(SimBoard& sim, int fd, std::uint32_t code, const Record& record)
{
    typename Record::Bytes bytes = record.encode();
    return sim.ioctl(fd, code, bytes.data(), bytes.size());
}

// The next event the daemon would read, or an empty vector.
std::vector<unsigned char> next(int fd, std::size_t size)
{
    std::vector<unsigned char> b(size + 1);
    ssize_t n = ::recv(fd, b.data(), b.size(), MSG_DONTWAIT);
    b.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return b;
}

} // namespace

// The settings themselves are checked through the services' tests.
TEST(SimDtmf, RefusesUnknownRequestsAndSlots)
{
    SimBoard sim;
    int fd = sim.open("/dev/dtmf", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(failsWith(sim.ioctlValue(fd, Tonec::kIvaEnable, SimDtmf::kTimeSlots), EINVAL));
    EXPECT_TRUE(failsWith(request(sim, fd, Tonec::kEnableDetector, Tonec::EnableRecord{-1, 1}), EINVAL));
    EXPECT_TRUE(failsWith(sim.ioctlValue(fd, IoctlCode::ior('B', 8, 4), 3), ENOTTY));
    unsigned char word[4] = {};
    // A by-value request.
    EXPECT_TRUE(failsWith(sim.ioctl(fd, Tonec::kDisableDetector, word, sizeof word), ENOTTY));
    EXPECT_FALSE(SimDtmf::of(sim).channel(3).ivaOn);
    sim.close(fd);
}

TEST(SimDtmf, DetectionsGoToEveryOpenWhileADetectorIsOn)
{
    SimBoard sim;
    SimDtmf& dtmf = SimDtmf::of(sim);
    EXPECT_FALSE(dtmf.sendEvent({1, 2, 3, 4}));   // nobody has the device open
    int fd = sim.open("/dev/dtmf", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(dtmf.detect(3, 5, 100));
    ASSERT_EQ(request(sim, fd, Tonec::kEnableDetector, Tonec::EnableRecord{3, 9}), 0);
    EXPECT_TRUE(dtmf.detect(3, 5, 100));
    unsigned char event[16];
    ASSERT_EQ(sim.read(fd, event, sizeof event), 16);
    Tonec::EventRecord e = Tonec::EventRecord::decode(event);
    EXPECT_EQ(e.code, 5);
    EXPECT_EQ(e.ts, 3);
    EXPECT_EQ(e.timestamp, 100);
    EXPECT_EQ(e.id, 9u);

    ASSERT_EQ(sim.ioctlValue(fd, Tonec::kDisableDetector, 3), 0);
    ASSERT_EQ(sim.ioctlValue(fd, Tonec::kIvaEnable, 3), 0);
    EXPECT_TRUE(dtmf.detect(3, 0x200, 1));   // IVA on: the last DTMF id
    ASSERT_EQ(sim.read(fd, event, sizeof event), 16);
    EXPECT_EQ(Tonec::EventRecord::decode(event).id, 9u);
    sim.close(fd);
    EXPECT_TRUE(sim.opens("/dev/dtmf").empty());
    EXPECT_FALSE(dtmf.detect(3, 1, 1));
}

TEST(SimDsp, RefusesFunctionSetsARequestDoesNotTake)
{
    SimBoard sim;
    int fd = sim.open("/dev/dsp", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const Dsp::SwitchRecord refused[] = {{4, 1, 0}, {4, 1, Dsp::kToneFilter}, {4, 1, Dsp::kDelays}, {4, 1, 1024}};
    for (const Dsp::SwitchRecord& r : refused) {
        EXPECT_TRUE(failsWith(request(sim, fd, Dsp::kEnable, r), EINVAL));
    }
    EXPECT_EQ(request(sim, fd, Dsp::kDisable, Dsp::SwitchRecord{4, 0, Dsp::kFlags}), -1);
    Dsp::ConfigureRecord two = Dsp::ConfigureRecord::sd(4);
    two.function = Dsp::kVad | Dsp::kSd;
    EXPECT_EQ(request(sim, fd, Dsp::kConfigure, two), -1);
    EXPECT_TRUE(
        failsWith(request(sim, fd, Dsp::kConfigure, Dsp::ConfigureRecord::sd(SimDsp::kTimeSlots)), EINVAL));
    EXPECT_TRUE(failsWith(sim.ioctlValue(fd, Dsp::kEnable, 0), ENOTTY));
    EXPECT_EQ(SimDsp::of(sim).channel(4).on, 0u);
    sim.close(fd);
}

TEST(SimDsp, EventsOnlyForFunctionsThatAreOn)
{
    SimBoard sim;
    SimDsp& dsp = SimDsp::of(sim);
    int fd = sim.open("/dev/dsp", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(dsp.vad(4, 1, 1, 0));
    EXPECT_FALSE(dsp.sd(4, 1));
    EXPECT_FALSE(dsp.bss(4, 1.5f));
    EXPECT_FALSE(dsp.toneFilter(4, 2100, true));
    ASSERT_EQ(request(sim, fd, Dsp::kEnable, Dsp::SwitchRecord{4, 8, Dsp::kVad | Dsp::kSd | Dsp::kBss}), 0);
    ASSERT_EQ(request(sim, fd, Dsp::kConfigure, Dsp::ConfigureRecord::toneFilter(4, 2100, 1, 100, 30)), 0);

    EXPECT_TRUE(dsp.vad(4, 3, 1, -1));
    EXPECT_TRUE(dsp.sd(4, 1));
    EXPECT_TRUE(dsp.bss(4, 1.5f));
    EXPECT_TRUE(dsp.toneFilter(4, 2100, true));
    EXPECT_TRUE(dsp.flags(4, 0x10, 0x30));
    EXPECT_EQ(next(sim.opens("/dev/dsp").at(0)->peer, 24).size(), 0u);   // nothing goes the other way
    const std::vector<std::vector<unsigned char>> expected = {
        {0, 0, 0, 4, 0, 0, 0, 8, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF},
        {0, 0, 0, 4, 0, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 4, 0, 0, 0, 8, 0, 0, 0, 0x10, 0x3F, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x08, 0x34, 1, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x30, 0, 0, 0, 0},
    };
    for (const std::vector<unsigned char>& e : expected)
        EXPECT_EQ(next(fd, 24), e);
    EXPECT_TRUE(next(fd, 24).empty());
    sim.close(fd);
}
