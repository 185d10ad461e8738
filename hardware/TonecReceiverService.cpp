#include "hardware/TonecReceiverService.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "board/BoardDevice.h"
#include "board/TonecRecords.h"
#include "hardware/DeviceNames.h"
#include "hardware/TonecReceiver.h"

namespace Hardware {

namespace {

std::ostream& operator<<(std::ostream& os, const EventFields<Tonec::EventRecord>& f)
{
    return os << " timestamp=" << f.event.timestamp << " timeslot=" << f.event.ts << " code=" << f.event.code
              << " id=" << f.event.id;
}

} // namespace

TonecReceiverService& TonecReceiverService::instance()
{
    static TonecReceiverService service;
    return service;
}

TonecReceiverService::TonecReceiverService() : TonecReceiverService(BoardDevice::get()) {}

TonecReceiverService::TonecReceiverService(BoardDevice& board) : ReceiverService(board)
{
    init();
}

TonecReceiverService::~TonecReceiverService() = default;

bool TonecReceiverService::init()
{
    return openDevice(GetDTMFDevName(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, "TonecReceiverService::OnEvent",
                      "open tonec fail, DTMF proceeding disabled: ");
}

bool TonecReceiverService::configureDTMF(unsigned ts, const LGCP::DTMFParams& params)
{
    if (!reopen("configure DTMF fail: (interface not opened)", ts))
        return false;
    const LGCP::DTMFParams_threshold& threshold = params.get_threshold();
    Tonec::ConfigureRecord record;
    record.ts = static_cast<std::int32_t>(ts);
    record.twist = static_cast<std::int32_t>(threshold.get_twist().getValue());
    record.ratio = static_cast<std::int32_t>(threshold.get_ratio().getValue());
    record.silence = static_cast<std::int32_t>(params.get_level().get_silence().getValue());
    record.noise = static_cast<std::int32_t>(threshold.get_noise().getValue());
    Tonec::ConfigureRecord::Bytes bytes = record.encode();
    if (board_.ioctl(event_.getFd(), Tonec::kConfigureDetector, bytes.data(), bytes.size()) < 0) {
        int error = errno;
        std::cerr << "DTMF_CONFIGURE_DETECTOR fail:" << " timeslot=" << ts << ErrnoSuffix{error} << std::endl;
        return false;
    }
    std::clog << "DTMF_CONFIGURE_DETECTOR" << " ts=" << ts << " twist=" << record.twist
              << " ratio=" << record.ratio << " noise=" << record.noise << " silence=" << record.silence
              << std::endl;
    return true;
}

bool TonecReceiverService::enableDTMF(TonecReceiver& receiver, bool on)
{
    const int ts = receiver.tonec_timeslot();
    // Off is still sent while DTMF is enabled: an IVA switch-off clears the
    // shared detector flag without switching the DTMF detector off.
    if (on ? receiver.detectorOn_ : !receiver.detectorOn_ && !receiver.dtmfEnabled_)
        return true;
    if (on) {
        const std::uint32_t id = nextId();
        Tonec::EnableRecord::Bytes bytes = Tonec::EnableRecord{ts, id}.encode();
        if (board_.ioctl(event_.getFd(), Tonec::kEnableDetector, bytes.data(), bytes.size()) < 0) {
            int error = errno;
            std::cerr << "DTMF_ENABLE_DETECTOR fail:" << " timeslot=" << ts << " id=" << id
                      << ErrnoSuffix{error} << std::endl;
            return false;
        }
        receiver.detectorId_ = id;
        receiver.detectorOn_ = true;
        std::cerr << "DTMF_ENABLE_DETECTOR done:" << " timeslot=" << ts << " id=" << id << std::endl;
        return true;
    }
    if (board_.ioctlValue(event_.getFd(), Tonec::kDisableDetector, ts) < 0) {
        int error = errno;
        std::cerr << "DTMF_DISABLE_DETECTOR fail:" << " timeslot=" << ts << ErrnoSuffix{error} << std::endl;
        return false;
    }
    receiver.detectorOn_ = false;
    std::cerr << "DTMF_DISABLE_DETECTOR done:" << " timeslot=" << ts << std::endl;
    return true;
}

// The requests that pass the time slot by value and log "<name><suffix>[ts] ok".
bool TonecReceiverService::valueRequest(std::uint32_t code, unsigned ts, const char* name, const char* suffix)
{
    if (board_.ioctlValue(event_.getFd(), code, static_cast<std::int32_t>(ts)) < 0) {
        int error = errno;
        std::cerr << name << suffix << " fail:" << " timeslot=" << static_cast<std::int32_t>(ts)
                  << ErrnoSuffix{error} << std::endl;
        return false;
    }
    std::clog << name << suffix << "[" << static_cast<std::int32_t>(ts) << "] ok" << std::endl;
    return true;
}

bool TonecReceiverService::echoCancel(unsigned ts, bool on)
{
    return valueRequest(on ? Tonec::kLmsOn : Tonec::kLmsOff, ts, "CHANNEL_LMS", on ? "_ON" : "_OFF");
}

bool TonecReceiverService::enableDTMFReject(unsigned ts, bool on)
{
    return valueRequest(on ? Tonec::kRejectionEnable : Tonec::kRejectionDisable, ts, "DTMF_REJECTION",
                        on ? "_ENABLE" : "_DISABLE");
}

bool TonecReceiverService::enableToneGenerator(unsigned ts, std::uint16_t freq1, std::uint16_t freq2,
                                               std::uint16_t amp1, std::uint16_t amp2)
{
    Tonec::DialRecord record{static_cast<std::int32_t>(ts), freq1, freq2, amp1, amp2};
    Tonec::DialRecord::Bytes bytes = record.encode();
    if (board_.ioctl(event_.getFd(), Tonec::kDial, bytes.data(), bytes.size()) < 0) {
        int error = errno;
        std::cerr << "DTMF_DIAL fail:" << " timeslot=" << record.ts << ErrnoSuffix{error} << std::endl;
        return false;
    }
    return true;
}

bool TonecReceiverService::configureIVA(TonecReceiver& receiver, const LGCP::IVAParams& params)
{
    const int ts = receiver.tonec_timeslot();
    if (!reopen("configure IVA fail: (interface not opened)", ts))
        return false;
    Tonec::IvaConfigureRecord record{ts, params.get_det_lvl_dB().getValue()};
    Tonec::IvaConfigureRecord::Bytes bytes = record.encode();
    if (board_.ioctl(event_.getFd(), Tonec::kIvaConfigure, bytes.data(), bytes.size()) < 0) {
        int error = errno;
        std::cerr << "IVA_CONFIGURE_DETECTOR fail:" << " timeslot=" << ts << ErrnoSuffix{error} << std::endl;
        return false;
    }
    std::clog << "IVA_CONFIGURE_DETECTOR" << " ts=" << ts << " det_lvl_dB=" << record.level << std::endl;
    return true;
}

bool TonecReceiverService::enableIVA(TonecReceiver& receiver, bool on)
{
    if (!valueRequest(on ? Tonec::kIvaEnable : Tonec::kIvaDisable, static_cast<unsigned>(receiver.tonec_timeslot()),
                      "IVA_DETECTOR", on ? "_ENABLE" : "_DISABLE"))
        return false;
    receiver.detectorOn_ = on;
    return true;
}

int TonecReceiverService::translateSelcal(TonecReceiver& receiver, const TERM::SelcalCommand& cmd)
{
    const int ts = receiver.tonec_timeslot();
    const std::string& signs = cmd.get_signs();
    if (signs.size() < Tonec::SelcalRecord::kSigns) {
        std::cerr << "SELCAL_DIAL fail:" << " timeslot=" << ts << " incorect signs:" << signs << std::endl;
        return -1;
    }
    Tonec::SelcalRecord record;
    record.ts = ts;
    record.amp = static_cast<std::uint16_t>(cmd.has_amp() ? cmd.get_amp().getValue() : 12000);
    for (std::size_t i = 0; i < Tonec::SelcalRecord::kSigns; ++i)
        record.signs[i] = static_cast<unsigned char>(signs[i]);
    Tonec::SelcalRecord::Bytes bytes = record.encode();
    int result = board_.ioctl(event_.getFd(), Tonec::kSelcalDial, bytes.data(), bytes.size());
    if (result < 0) {
        int error = errno;
        std::cerr << "SELCAL_DIAL fail:" << " timeslot=" << ts << ErrnoSuffix{error} << std::endl;
    }
    return result;
}

void TonecReceiverService::OnEvent(int fd, short revents)
{
    unsigned char buffer[Tonec::EventRecord::kSize];
    while (readEvent(fd, revents, buffer, sizeof buffer, "tonec")) {
        const Tonec::EventRecord event = Tonec::EventRecord::decode(buffer);
        std::clog << "dtmf event: " << EventFields{event} << std::endl;
        // Looked up again for each event: a receiver may be deleted by the
        // one before.
        TonecReceiver* receiver = firstReceiverOf(event.ts, &TonecReceiver::tonec_timeslot);
        if (receiver == nullptr) {
            std::cerr << "receive tonec event from unknown timeslot " << event.ts << std::endl;
        } else if (!receiver->detectorOn_) {
            std::clog << "ignore spurious dtmf event (DTMF disabled): " << EventFields{event} << std::endl;
        } else if (receiver->detectorId_ != event.id) {
            std::clog << "ignore spurious dtmf event: " << EventFields{event}
                      << " rid=" << receiver->detectorId_ << std::endl;
        } else {
            receiver->tonec_event({event.code, event.timestamp});
        }
    }
}

} // namespace Hardware
