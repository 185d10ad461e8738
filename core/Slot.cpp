#include "core/Slot.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iomanip>
#include <iostream>

#include "board/RtpRecords.h"
#include "core/SlotConnection.h"
#include "core/SlotFactory.h"
#include "core/Slots.h"
#include "hardware/DSProcReceiver.h"

namespace {

const std::uint32_t kFlagVadRx = 1u << 29;
const std::uint32_t kFlagVadTx = 1u << 30;
const std::uint32_t kFlagSelcal = 1u << 31;

// A signal whose alternative `set` chooses.
template <class Set>
LGCP::Signal signalWith(Set set)
{
    LGCP::Signal signal;
    set(signal);
    return signal;
}

} // namespace

Slot::Slot() = default;

Slot::~Slot()
{
    receivers_.clear();
}

int Slot::GetTrunk() { return -1; }
int Slot::GetTrunkTimeSlot() { return -1; }
void Slot::OnTrunkStatus(unsigned, const ACP::TrunkState::NamedNumber&) {}
void Slot::IAfterCreate() {}
bool Slot::IBeforeDestroy() { return true; }
bool Slot::IActivate(const TERM::TermActivateParams&) { return false; }
bool Slot::IDeactivate() { return false; }
bool Slot::IUserData(const std::vector<char>&) { return false; }
bool Slot::Ioctl(const LGCP::IoctlParams&) { return false; }
int Slot::GetConnectionPriority() { return 0; }
bool Slot::IHwConnectTransmitter(Slot& receiver) { return MuxConnect(*this, receiver); }
bool Slot::IHwConnectReceiver(Slot& transmitter) { return MuxConnect(transmitter, *this); }
bool Slot::IHwDisconnectTransmitter(Slot& receiver) { return MuxDisconnect(receiver); }
bool Slot::IHwDisconnectReceiver(Slot&) { return MuxDisconnect(*this); }
bool Slot::IOnOutputStream() { return false; }
bool Slot::IOnInputStream() { return false; }
void Slot::IOnOutputRelease() {}
void Slot::IOnInputRelease() {}
int Slot::IGetTransmitChannel() { return -1; }
int Slot::IGetReceiveChannel() { return -1; }

void Slot::Put(std::ostream& os) const
{
    if (id_ <= CtrlSrv::Server::max_slot)
        os << std::dec << std::right << std::setfill('0') << std::setw(2) << id_ << std::setfill(' ');
    else if (id_ != kNoId)
        os << 'i' << std::dec << id_;
    else
        os << "na";
    os << ':' << GetName();
}

void Slot::SendSignal(const LGCP::Signal& signal)
{
    Slots::instance().SendSignal(id_, signal);
}

void Slot::OnTonecEvent(const LGCP::TonecEvent& event)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_tonec(event); }));
}

void Slot::OnNumber(const std::string& number)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_number(number); }));
}

void Slot::OnModem(const TERM::ModemProceeding& proceeding)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_modemProceeding(proceeding); }));
}

void Slot::OnModem(const TERM::ModemInformation& information)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_modemInformation(information); }));
}

void Slot::OnActivated()
{
    SendSignal(signalWith([](LGCP::Signal& s) { s.set_activated(); }));
}

void Slot::OnDeactivated()
{
    SendSignal(signalWith([](LGCP::Signal& s) { s.set_deactivated(LGCP::DeactivateCause::networkError); }));
}

void Slot::OnAbort(int cause)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_abort(cause); }));
}

void Slot::OnUserData(const std::vector<char>& data)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_userData() = data; }));
}

void Slot::OnIoctlResponse(const LGCP::IoctlResponse& response)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_ioctl(response); }));
}

void Slot::OnRtpRadioEvent(const TERM::RtpRadioRequest& request)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_rtpExt(request); }));
}

void Slot::OnVADEvent(const LGCP::VADEvent& event)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_vad(event); }));
}

void Slot::OnProtoLemzEvent(const LEMZGW::ProtoLemzPackets& packets)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_protoLemz(packets); }));
}

void Slot::OnSDEvent(const LGCP::SDEvent& event)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_sd(event); }));
}

void Slot::OnRtpEvent(const LGCP::RtpEvent& event)
{
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_rtp(event); }));
}

void Slot::OnChangeInputStream(bool active)
{
    if (inputStream_ == active)
        return;
    LGCP::Signal signal;
    if (active) {
        signal.set_receiver().set_active(IGetReceiveChannel());
    } else {
        Disconnect(*this);
        signal.set_receiver().set_inactive();
    }
    inputStream_ = active;
    SendSignal(signal);
}

void Slot::OnChangeOutputStream(bool active)
{
    if (outputStream_ == active)
        return;
    LGCP::Signal signal;
    if (active) {
        signal.set_transmitter().set_active(IGetTransmitChannel());
    } else {
        DisconnectReceivers("mux: internal error: expected slots not exists.");
        signal.set_transmitter().set_inactive();
    }
    outputStream_ = active;
    SendSignal(signal);
}

void Slot::DisconnectReceivers(const char* complaint)
{
    for (std::size_t n = receivers_.size(); n > 0; --n) {
        if (receivers_.empty()) {
            std::cerr << complaint << std::endl;
            break;
        }
        Disconnect(*receivers_.front());
    }
}

void Slot::processTonecEvent(const Hardware::TonecReceiver::Params& params)
{
    LGCP::TonecEvent event;
    event.set_timestamp(params.timestamp);
    LGCP::TonecCode& code = event.get_event();
    const std::int32_t value = params.code;
    if (value == 17) {
        code.set_ced();
    } else if (value == 18) {
        code.set_cng();
    } else if (value > 127) {
        const std::int32_t k = value >> 8;
        if (k >= 1 && k <= 20) {
            code.set_iva().set_code(static_cast<unsigned>(k));
        } else if (k == 21) {
            code.set_iva().set_ringoff();
        } else {
            std::cerr << "bad DTMF code, ignored." << std::endl;
            return;
        }
    } else if (value >= 0) {
        code.set_dtmf(static_cast<unsigned>(value));
    } else {
        // Not a code the detector makes, and no DTMF digit the coder can send.
        std::cerr << "bad DTMF code, ignored." << std::endl;
        return;
    }
    OnTonecEvent(event);
}

void Slot::processToneGenEvent()
{
    LGCP::TonecEvent event;
    event.set_timestamp(0);
    event.get_event().set_dtmfDone();
    OnTonecEvent(event);
}

void Slot::processToneFltEvent(const dsproc_tone_event* payload)
{
    LGCP::TonecEvent event;
    event.set_timestamp(0);
    LGCP::TonePresence& presence = event.get_event().set_tone_presence();
    presence.set_freq(payload->get_freq());
    presence.set_presence(payload->get_presence());
    OnTonecEvent(event);
}

void Slot::processVADEvent(const Hardware::DSProcVADEvent& payload)
{
    if (payload.rx < 0 && payload.tx < 0) {
        std::cerr << "bad VAD event, ignored." << std::endl;
        return;
    }
    LGCP::VADEvent event;
    if (payload.rx >= 0)
        event.include_vad_rx() = payload.rx != 0;
    if (payload.tx >= 0)
        event.include_vad_tx() = payload.tx != 0;
    OnVADEvent(event);
}

void Slot::processSDEvent(const Hardware::DSProcSDEvent& payload)
{
    if (payload.sd_rx < 0) {
        std::cerr << "bad SD event, ignored." << std::endl;
        return;
    }
    LGCP::SDEvent event;
    event.include_sd_rx() = payload.sd_rx != 0;
    OnSDEvent(event);
}

void Slot::processFlagsEvent(const dsproc_flags_event* payload)
{
    const std::uint32_t values = payload->get_values();
    const std::uint32_t mask = payload->get_mask();
    if ((mask & (kFlagVadRx | kFlagVadTx)) != 0) {
        LGCP::VADEvent event;
        if ((mask & kFlagVadRx) != 0)
            event.include_vad_rx() = (values & kFlagVadRx) != 0;
        if ((mask & kFlagVadTx) != 0)
            event.include_vad_tx() = (values & kFlagVadTx) != 0;
        OnVADEvent(event);
    }
    if ((mask & kFlagSelcal) != 0)
        SendSignal(signalWith([&](LGCP::Signal& s) { s.set_selcal().set_in_progress((values & kFlagSelcal) != 0); }));
}

void Slot::processBSSEvent(const dsproc_bss_event* payload)
{
    char text[31];
    std::snprintf(text, sizeof text, "%4.6f", static_cast<double>(payload->get_score()));
    SendSignal(signalWith([&](LGCP::Signal& s) { s.set_bss().set_score(text); }));
}

void Slot::processRtpEvent(const rtp_event& payload)
{
    if (payload.get_type() != rtp_event::kPacketDetector)
        return;
    LGCP::RtpEvent event;
    LGCP::RtpPDEvent& pd = event.set_pd();
    pd.set_value(payload.get_value());
    pd.set_timeout(payload.get_timeout());
    OnRtpEvent(event);
}

bool Slot::BeforeDestroy()
{
    if (!IBeforeDestroy())
        return false;
    if (factory_ != nullptr)
        factory_->Remove(this);
    else
        std::cerr << "slot: internal error!!! BeforeDestroy() not connected to factory" << std::endl;
    return true;
}

void Slot::on_release()
{
    if (!destroying_)
        return;
    if (factory_ != nullptr)
        factory_->Remove(this);
    Slots::instance().on_release(this);
}

void Slot::LogicalConnect(Slot& src)
{
    source_ = &src;
    std::vector<Slot*>& list = src.receivers_;
    auto at = std::lower_bound(list.begin(), list.end(), this, std::less<Slot*>());
    if (at == list.end() || *at != this)
        list.insert(at, this);
}

void Slot::LogicalDisconnect()
{
    if (source_ == nullptr)
        return;
    std::vector<Slot*>& list = source_->receivers_;
    auto at = std::lower_bound(list.begin(), list.end(), this, std::less<Slot*>());
    if (at != list.end() && *at == this)
        list.erase(at);
    source_ = nullptr;
}
