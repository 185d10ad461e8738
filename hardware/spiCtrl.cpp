#include "hardware/spiCtrl.h"

#include <fcntl.h>

#include <cerrno>
#include <iostream>

#include "asn1/modules/ACP.h"
#include "asn1/modules/LGCP.h"
#include "board/BoardDevice.h"
#include "board/SpiRecords.h"

namespace {

const char* const kDevice = "/dev/hal";

// Registers of a line interface and the values written to them.
enum Register : unsigned char {
    kInitSettingA = 48,       // kInitValueA, written once at channel set-up
    kChannelState = 50,       // kDisabled or kEnabled
    kLineStatus = 51,         // read only
    kInitSettingB = 52,       // kInitValueB, written once at channel set-up
    kInitClearedFirst = 53,   // 53..55: cleared at channel set-up
    kInitClearedLast = 55,
    kClockMode = 87,          // kClockSlave or kClockMaster
};
const int kInitValueA = 8;
const int kInitValueB = 0x60;
const int kDisabled = 0x80;
const int kEnabled = 0;
const int kClockSlave = 0x30;
const int kClockMaster = 0x38;

// Checked unsigned: -1 is too large.
bool isChannel(int channel)
{
    return static_cast<unsigned>(channel) < static_cast<unsigned>(Spi::kChannels);
}

} // namespace

spiCtrl& spiCtrl::instance()
{
    static spiCtrl spi;
    return spi;
}

spiCtrl::spiCtrl() : spiCtrl(BoardDevice::get()) {}

spiCtrl::spiCtrl(BoardDevice& board) : board_(board)
{
    init_device_and_channels();
}

spiCtrl::~spiCtrl()
{
    if (fd_ < 0)
        return;
    timer_.reset();
    for (int c = 0; c < Spi::kChannels; ++c)
        disable_channel(c);
    clock(-1);
    board_.close(fd_);
    fd_ = -1;
}

void spiCtrl::OnConnect()
{
    if (fd_ >= 0 && enabled_)
        timer_.set(kPollMs, &spiCtrl::status, this);
}

void spiCtrl::OnDisconnect()
{
    timer_.reset();
}

void spiCtrl::accessFailed(int error)
{
    if (error != ENODEV)
        return;
    enabled_ = false;
    timer_.reset();
    std::clog << "spi: hal without spi" << std::endl;
}

void spiCtrl::write(int channel, int address, int value)
{
    if (fd_ < 0 || !enabled_)
        return;
    Spi::RegisterRecord::Bytes rec = Spi::RegisterRecord{static_cast<unsigned char>(channel),
                                                         static_cast<unsigned char>(address),
                                                         static_cast<unsigned char>(value)}.encode();
    if (board_.ioctl(fd_, Spi::kWriteRegister, rec.data(), rec.size()) >= 0)
        return;
    int error = errno;
    if (error != ENODEV)
        std::clog << "spi: write error: channel=" << channel << " addr=" << address << " data=" << value
                  << std::endl;
    accessFailed(error);
}

int spiCtrl::read(int channel, int address)
{
    if (fd_ < 0 || !enabled_)
        return 0;
    Spi::RegisterRecord::Bytes rec = Spi::RegisterRecord{static_cast<unsigned char>(channel),
                                                         static_cast<unsigned char>(address), 0xFF}.encode();
    int result = board_.ioctl(fd_, Spi::kReadRegister, rec.data(), rec.size());
    if (result >= 0)
        return result & 0xFF;
    int error = errno;
    if (error != ENODEV)
        std::clog << "spi: read error: channel=" << channel << " addr=" << address << std::endl;
    accessFailed(error);
    return 0;
}

void spiCtrl::init_device_and_channels()
{
    if (fd_ >= 0 || !enabled_)
        return;
    std::clog << "spi: try init" << std::endl;
    fd_ = board_.open(kDevice, O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
        std::clog << "spi: /dev/hal open fail" << std::endl;
        return;
    }
    for (int c = 0; c < Spi::kChannels - 1; ++c) {
        init_channel(c);
        enable_channel(c);
    }
}

bool spiCtrl::channelUsable(int channel, bool inRange, const char* what)
{
    if (!enabled_)
        return false;
    if (!inRange) {
        std::clog << "spi: bad channel for " << what << ' ' << channel << std::endl;
        return false;
    }
    init_device_and_channels();
    return true;
}

// The operation's line is written only when the device took its writes: a
// device that turned out to have no SPI has said so once already.
void spiCtrl::init_channel(int channel)
{
    if (!channelUsable(channel, isChannel(channel), "init"))
        return;
    write(channel, kChannelState, kDisabled);
    write(channel, kInitSettingA, kInitValueA);
    write(channel, kClockMode, kClockSlave);
    write(channel, kInitSettingB, kInitValueB);
    for (int r = kInitClearedFirst; r <= kInitClearedLast; ++r)
        write(channel, r, 0);
    if (fd_ >= 0 && enabled_)
        std::clog << "spi: init channel " << channel << std::endl;
}

void spiCtrl::enable_channel(int channel)
{
    if (!channelUsable(channel, isChannel(channel), "enable"))
        return;
    write(channel, kChannelState, kEnabled);
    if (fd_ >= 0 && enabled_)
        std::clog << "spi: enable channel " << channel << std::endl;
}

void spiCtrl::disable_channel(int channel)
{
    if (!channelUsable(channel, isChannel(channel), "disable"))
        return;
    write(channel, kChannelState, kDisabled);
    if (fd_ >= 0 && enabled_)
        std::clog << "spi: disable channel " << channel << std::endl;
}

void spiCtrl::clock(int channel)
{
    if (!channelUsable(channel, channel == -1 || isChannel(channel), "set clock master"))
        return;
    for (int c = 0; c < Spi::kChannels; ++c)
        write(c, kClockMode, kClockSlave);
    if (channel != -1)
        write(channel, kClockMode, kClockMaster);
    if (fd_ < 0 || !enabled_)
        return;
    if (channel == -1)
        std::clog << "spi: clock master disabled" << std::endl;
    else
        std::clog << "spi: set clock master on channel " << channel << std::endl;
}

int spiCtrl::lineState(unsigned char status)
{
    if ((status & 0x01) == 0)
        return ACP::TrunkState::lossCarrier;
    if ((status & 0x04) == 0)
        return ACP::TrunkState::lossBF;
    switch (status & 0xC0) {
    case 0x80:
        return ACP::TrunkState::rai;
    case 0xC0:
        return ACP::TrunkState::normal;
    default:
        return ACP::TrunkState::ais;
    }
}

// A slip shows in one poll only, however long the bit stays set.
int spiCtrl::slips(unsigned char status)
{
    if ((status & 0x20) == 0) {
        slip_ = false;
        return 0;
    }
    if (slip_)
        return 0;
    slip_ = true;
    return 1;
}

void spiCtrl::status()
{
    if (!enabled_)
        return;
    for (int c = 0; c < Spi::kChannels; ++c) {
        unsigned char v = static_cast<unsigned char>(read(c, kLineStatus));
        // A device without SPI reports no lines at all.
        if (!enabled_)
            return;
        LGCP::Signal signal;
        ACP::TrunkStatus& ts = signal.set_trunkStatus();
        ts.set_trunk(c);
        ts.set_state(static_cast<ACP::TrunkState::NamedNumber>(lineState(v)));
        ts.set_slips(slips(v));
        ts.set_lossBF(0);
        ts.set_lossCarrier(0);
        ts.set_lossAIS(0);
        ts.set_lossRAI(0);
        ts.set_name("");
        ts.set_clockMaster(false);
        ts.set_type(ACP::TrunkType::bri);
        SendSignal(signal);
    }
    timer_.set(kPollMs, &spiCtrl::status, this);
}
