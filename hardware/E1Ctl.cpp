#include "hardware/E1Ctl.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "asn1/modules/ACP.h"
#include "asn1/modules/LGCP.h"
#include "board/BoardDevice.h"
#include "hardware/DeviceNames.h"
#include "runtime/ExtStream.h"

namespace {

const char* const kCasDevice = "/dev/e1-cas";
const int kDeviceFlags = O_RDWR | O_NONBLOCK | O_CLOEXEC;

// Compared unsigned: negative paths are out too.
bool isTrunk(std::int32_t path)
{
    return static_cast<std::uint32_t>(path) < static_cast<std::uint32_t>(E1::kTrunks);
}

} // namespace

E1Ctl& E1Ctl::instance()
{
    static E1Ctl e1;
    return e1;
}

E1Ctl::E1Ctl() : E1Ctl(BoardDevice::get()) {}

E1Ctl::E1Ctl(BoardDevice& board) : board_(board) {}

E1Ctl::~E1Ctl()
{
    casEvent_.UnBind();
    casEvent_.Release();
    if (cas_)
        board_.close(cas_.release());
    if (maintenance_ >= 0)
        board_.close(maintenance_);
}

void E1Ctl::OnConnect()
{
    SendStatus();
    SetTimer();
    tclk_ = 0;
    UpdateTclk();
    CheckOpenCas();
}

// Answered success whatever happened inside.
bool E1Ctl::OnCommand(const LGCP::Command& command)
{
    switch (command.currentSelection()) {
    case LGCP::Command::ioctl_chosen:
        HandleCas(command.get_ioctl());
        break;
    case LGCP::Command::trunkCfg_chosen:
        SetMode(command.get_trunkCfg());
        break;
    default:
        return false;
    }
    Success();
    return true;
}

void E1Ctl::SetTimer()
{
    timer_.set(kPollMs, &E1Ctl::OnCheckStatus, this);
}

void E1Ctl::OnCheckStatus(Timer*)
{
    SendStatus();
    CheckOpenCas();
    SetTimer();
}

// Trunks outside the 32-bit mask change nothing, like negative ones.
void E1Ctl::SetMode(const LGCP::TrunkCfg& cfg)
{
    std::int32_t trunk = cfg.get_trunk().getValue();
    if (trunk < 0 || trunk >= 32)
        return;
    std::uint32_t bit = std::uint32_t{1} << trunk;
    switch (cfg.get_mode().getValue()) {
    case LGCP::TrunkMode::slave:
        tclk_ |= bit;
        break;
    case LGCP::TrunkMode::master:
        tclk_ &= ~bit;
        break;
    default:
        return;
    }
    UpdateTclk();
}

void E1Ctl::UpdateTclk()
{
    if (!IsOpen())
        return;
    if (board_.ioctlValue(maintenance_, Maintenance::kTclk, static_cast<long>(tclk_)) < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "fail to set TCLK [cause=" << std::strerror(error) << "]" << std::endl;
        return;
    }
    std::clog << ext::header(this) << "TCLT = 0x" << std::hex << tclk_ << std::dec << std::endl;
}

bool E1Ctl::IsOpen()
{
    if (maintenance_ < 0)
        maintenance_ = board_.open(GetMaintenance(), kDeviceFlags);
    return maintenance_ >= 0;
}

// A trunk whose status cannot be read does not hold up the others.
void E1Ctl::SendStatus()
{
    if (!IsOpen())
        return;
    for (int trunk = 0; trunk < E1::kTrunks; ++trunk) {
        Maintenance::TrunkStatusRecord request;
        request.trunk = trunk;
        Maintenance::TrunkStatusRecord::Bytes rec = request.encode();
        if (board_.ioctl(maintenance_, Maintenance::kTrunkStatus, rec.data(), rec.size()) < 0) {
            int error = errno;
            std::cerr << ext::header(this) << "synchronization status read fail, trunk = " << trunk
                      << " cause = " << std::strerror(error) << std::endl;
            continue;
        }
        Maintenance::TrunkStatusRecord status = Maintenance::TrunkStatusRecord::decode(rec.data());
        LGCP::Signal signal;
        ACP::TrunkStatus& ts = signal.set_trunkStatus();
        ts.set_trunk(trunk);
        // Copied as the driver numbers it; a state the enumeration does not
        // have would make the whole report unsendable, so it goes as unknown.
        const bool known = status.state >= ACP::TrunkState::normal && status.state <= ACP::TrunkState::disabled;
        ts.set_state(known ? static_cast<ACP::TrunkState::NamedNumber>(status.state) : ACP::TrunkState::unknown);
        ts.set_slips(status.slips);
        ts.set_lossBF(status.lossBF);
        ts.set_lossCarrier(status.lossCarrier);
        ts.set_lossAIS(status.lossAIS);
        ts.set_lossRAI(status.lossRAI);
        ts.set_name("");
        ts.set_clockMaster(false);
        ts.set_type(ACP::TrunkType::e1);
        SendSignal(signal);
    }
}

bool E1Ctl::CheckOpenCas()
{
    if (cas_)
        return true;
    int fd = board_.open(kCasDevice, kDeviceFlags);
    if (fd < 0)
        return false;
    cas_.reset(fd);
    std::clog << ext::header(this) << "cas interface opened!" << std::endl;
    casEvent_.Bind("E1/Cas", &E1Ctl::OnUpdateCas, this);
    casEvent_.Schedule(cas_, POLLIN);
    return true;
}

// One event record per turn; anything but a whole record is dropped.
void E1Ctl::OnUpdateCas(int fd, short revents)
{
    if ((revents & POLLIN) == 0)
        return;
    unsigned char rec[Cas::Channel::kSize];
    if (board_.read(fd, rec, sizeof rec) != static_cast<ssize_t>(sizeof rec))
        return;
    Cas::Channel c = Cas::Channel::decode(rec);
    SendCASSignal(c.path, c.timeslot, c.rx, c.tx);
}

void E1Ctl::SendCASSignal(int path, int timeslot, int rx, int tx)
{
    LGCP::Signal signal;
    LGCP::CasSignalling& cas = signal.set_cas();
    cas.get_channel().set_path(path);
    cas.get_channel().set_timeslot(timeslot);
    cas.set_rx(rx);
    cas.set_tx(tx);
    SendSignal(signal);
}

void E1Ctl::SendCASTrunkStatus(int path, int status)
{
    SendCASSignal(path, 0, status, 0);
}

void E1Ctl::HandleCas(const LGCP::IoctlParams& params)
{
    if (!CheckOpenCas() || params.currentSelection() != LGCP::IoctlParams::cas_chosen)
        return;
    const LGCP::CasCommand& command = params.get_cas();
    Cas::Channel channel;
    channel.path = command.get_channel().get_path().getValue();
    channel.timeslot = command.get_channel().get_timeslot().getValue();
    const LGCP::CasCommandSignal& cmd = command.get_cmd();
    switch (cmd.currentSelection()) {
    case LGCP::CasCommandSignal::open_chosen:
        HandleCasOpen(channel, cmd.get_open().getValue());
        break;
    case LGCP::CasCommandSignal::close_chosen:
        HandleCasClose(channel);
        break;
    case LGCP::CasCommandSignal::set_chosen:
        HandleCasSet(channel, cmd.get_set().getValue());
        break;
    case LGCP::CasCommandSignal::get_chosen:
        HandleCasGet(channel);
        break;
    default:
        break;
    }
}

int E1Ctl::SlotRequest(const Cas::Channel& channel, std::int32_t action, int tx)
{
    Cas::SlotRecord r{{channel.path, channel.timeslot, 0, static_cast<unsigned char>(tx & 15)}, action};
    Cas::SlotRecord::Bytes rec = r.encode();
    return board_.ioctl(cas_.get(), Cas::kSlot, rec.data(), rec.size());
}

void E1Ctl::ReportBits(const Cas::Channel& channel)
{
    Cas::Channel::Bytes rec = Cas::Channel{channel.path, channel.timeslot, 0, 0}.encode();
    int result = board_.ioctl(cas_.get(), Cas::kGetBits, rec.data(), rec.size());
    if (result < 0) {
        SendCASSignal(channel.path, channel.timeslot, result, 0);
        return;
    }
    Cas::Channel got = Cas::Channel::decode(rec.data());
    SendCASSignal(channel.path, channel.timeslot, got.rx, got.tx);
}

// Time slots 0 and 16 carry no channel of their own: they open the trunk only.
void E1Ctl::HandleCasOpen(const Cas::Channel& channel, int value)
{
    if (!isTrunk(channel.path))
        return;
    bool& open = casOpen_[channel.path];
    if (!open) {
        int result = board_.ioctlValue(cas_.get(), Cas::kOpenTrunk, channel.path);
        SendCASTrunkStatus(channel.path, result);
        if (result < 0) {
            std::clog << ext::header(this) << "open cas signalling on trunk(" << channel.path << ") - fail(" << result
                      << ")" << std::endl;
            return;
        }
        std::clog << ext::header(this) << "open cas signalling on trunk(" << channel.path << ") - ok" << std::endl;
        open = true;
    } else {
        SendCASTrunkStatus(channel.path, 0);
    }
    if (channel.timeslot == 0 || channel.timeslot == 16)
        return;
    int result = SlotRequest(channel, Cas::SlotRecord::kEnable, value);
    if (result < 0)
        SendCASSignal(channel.path, channel.timeslot, result, 0);
    else
        ReportBits(channel);
}

void E1Ctl::HandleCasClose(const Cas::Channel& channel)
{
    if (!isTrunk(channel.path) || !casOpen_[channel.path])
        return;
    if (channel.timeslot == 0) {
        int result = board_.ioctlValue(cas_.get(), Cas::kCloseTrunk, channel.path);
        if (result == 0)
            result = 1;
        SendCASTrunkStatus(channel.path, result);
        if (result >= 0)
            casOpen_[channel.path] = false;
        return;
    }
    if (channel.timeslot == 16)
        return;
    int result = SlotRequest(channel, Cas::SlotRecord::kDisable, 0);
    if (result < 0)
        SendCASSignal(channel.path, channel.timeslot, result, 0);
    else
        SendCASSignal(channel.path, channel.timeslot, -1, 1);
}

void E1Ctl::HandleCasSet(const Cas::Channel& channel, int value)
{
    if (!isTrunk(channel.path) || !casOpen_[channel.path])
        return;
    Cas::Channel::Bytes rec =
        Cas::Channel{channel.path, channel.timeslot, 0, static_cast<unsigned char>(value & 15)}.encode();
    int result = board_.ioctl(cas_.get(), Cas::kSetBits, rec.data(), rec.size());
    if (result < 0)
        SendCASSignal(channel.path, channel.timeslot, result, 0);
    else
        ReportBits(channel);
}

void E1Ctl::HandleCasGet(const Cas::Channel& channel)
{
    if (!isTrunk(channel.path) || !casOpen_[channel.path])
        return;
    ReportBits(channel);
}
