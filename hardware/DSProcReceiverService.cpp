#include "hardware/DSProcReceiverService.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "board/BoardDevice.h"
#include "control/TraceCtl.h"
#include "hardware/DSProcReceiver.h"
#include "hardware/DeviceNames.h"

namespace Hardware {

namespace {

std::ostream& operator<<(std::ostream& os, const EventFields<Dsp::EventRecord>& f)
{
    return os << " timeslot=" << f.event.ts << " id=" << f.event.id << " type=" << f.event.type;
}

// A payload record filled from the event's bytes 12..23.
template <class Payload>
Payload payloadOf(const unsigned char* bytes)
{
    Payload p;
    std::memcpy(p.bytes.data(), bytes, p.bytes.size());
    return p;
}

} // namespace

DSProcReceiverService& DSProcReceiverService::instance()
{
    static DSProcReceiverService service;
    return service;
}

DSProcReceiverService::DSProcReceiverService() : DSProcReceiverService(BoardDevice::get()) {}

DSProcReceiverService::DSProcReceiverService(BoardDevice& board) : ReceiverService(board)
{
    init();
}

DSProcReceiverService::~DSProcReceiverService() = default;

bool DSProcReceiverService::init()
{
    return openDevice(GetDSPDevName(), O_RDWR | O_NONBLOCK | O_CLOEXEC, "DSProcReceiverService::OnEvent",
                      "open dsproc fail, VAD proceeding disabled: ");
}

bool DSProcReceiverService::configure(const Dsp::ConfigureRecord& record)
{
    Dsp::ConfigureRecord::Bytes bytes = record.encode();
    return board_.ioctl(event_.getFd(), Dsp::kConfigure, bytes.data(), bytes.size()) >= 0;
}

bool DSProcReceiverService::switchRequest(std::uint32_t code, std::int32_t ts, std::uint32_t id,
                                          std::uint32_t functions)
{
    Dsp::SwitchRecord::Bytes bytes = Dsp::SwitchRecord{ts, id, functions}.encode();
    return board_.ioctl(event_.getFd(), code, bytes.data(), bytes.size()) >= 0;
}

bool DSProcReceiverService::configureVAD(unsigned ts, const LGCP::VADParams& params)
{
    const std::int32_t slot = static_cast<std::int32_t>(ts);
    if (!reopen("configure VAD fail: (interface not opened)", slot))
        return false;
    Dsp::ConfigureRecord record = Dsp::ConfigureRecord::vadFixed(slot);
    // A failed query counts as a version other than 2.
    if (board_.ioctlValue(event_.getFd(), Dsp::kVadVersion, 0) == 2) {
        if (params.currentSelection() != LGCP::VADParams::v2_chosen) {
            std::cerr << "DSPROC_CONFIGURE VAD: params not specified for v2: " << " timeslot=" << slot << std::endl;
            return false;
        }
        const TERM::VADParamsV2& v2 = params.get_v2();
        record = Dsp::ConfigureRecord::vadV2(slot, static_cast<std::uint16_t>(v2.get_voice_th_msec().getValue()),
                                             static_cast<std::uint16_t>(v2.get_silence_th_msec().getValue()),
                                             static_cast<std::uint8_t>(v2.get_e_th_dB().getValue()));
    }
    if (!configure(record)) {
        int error = errno;
        std::cerr << "DSPROC_CONFIGURE VAD fail:" << " timeslot=" << slot << ErrnoSuffix{error} << std::endl;
        return false;
    }
    std::clog << "DSPROC_CONFIGURE VAD" << " ts=" << slot << std::endl;
    return true;
}

bool DSProcReceiverService::configureSD(unsigned ts)
{
    const std::int32_t slot = static_cast<std::int32_t>(ts);
    if (!reopen("configure SD fail: (interface not opened)", slot))
        return false;
    if (!configure(Dsp::ConfigureRecord::sd(slot))) {
        int error = errno;
        std::cerr << "DSPROC_CONFIGURE SD fail:" << " timeslot=" << slot << ErrnoSuffix{error} << std::endl;
        return false;
    }
    std::clog << "DSPROC_CONFIGURE SD" << " ts=" << slot << std::endl;
    return true;
}

void DSProcReceiverService::configureDelays(unsigned ts, int rx, int tx, int selcal)
{
    const std::int32_t slot = static_cast<std::int32_t>(ts);
    if (!reopen("configure Delays fail: (interface not opened)", slot))
        return;
    if (!configure(Dsp::ConfigureRecord::delays(slot, rx, tx, selcal))) {
        int error = errno;
        std::cerr << "DSPROC_CONFIGURE DELAYS fail:" << " timeslot=" << slot << ErrnoSuffix{error} << std::endl;
        return;
    }
    std::clog << "DSPROC_CONFIGURE DELAYS" << " ts=" << slot << " rx=" << rx << " tx=" << tx
              << " selcal=" << selcal << std::endl;
}

void DSProcReceiverService::configureRxGain(unsigned ts, char gain)
{
    const std::int32_t slot = static_cast<std::int32_t>(ts);
    // The byte as it goes to the driver, whatever the signedness of char.
    const std::uint8_t byte = static_cast<std::uint8_t>(gain);
    if (!reopen("Configure Rx gain fail: (interface not opened)", slot))
        return;
    if (!configure(Dsp::ConfigureRecord::rxGain(slot, byte))) {
        int error = errno;
        std::cerr << "DSPROC_CONFIGURE Rx Gain fail:" << " timeslot=" << slot << ErrnoSuffix{error} << std::endl;
        return;
    }
    std::clog << "DSPROC_CONFIGURE RX GAIN" << " ts=" << slot
              << " gain_dB=" << static_cast<unsigned>(byte) << std::endl;
}

void DSProcReceiverService::configureToneFilter(unsigned ts, unsigned freq, unsigned enable, int duration, int level)
{
    const std::int32_t slot = static_cast<std::int32_t>(ts);
    if (!reopen("Configure Tone Filter fail: (interface not opened)", slot))
        return;
    Dsp::ConfigureRecord record =
        Dsp::ConfigureRecord::toneFilter(slot, static_cast<std::uint16_t>(freq), static_cast<std::uint8_t>(enable),
                                         static_cast<std::uint16_t>(duration), static_cast<std::uint8_t>(level));
    if (!configure(record)) {
        int error = errno;
        std::cerr << "DSPROC_CONFIGURE Tone Filter fail:" << " timeslot=" << slot << ErrnoSuffix{error} << std::endl;
        return;
    }
    std::clog << "DSPROC_CONFIGURE TONE FILTER" << " ts=" << slot << " freq=" << freq
              << ", en=" << enable << ", dur_th_msec=" << duration << ", det_lvl_dB=" << level << std::endl;
}

bool DSProcReceiverService::enableFunction(DSProcReceiver& receiver, bool on, std::int32_t& state,
                                           std::uint32_t& id, std::uint32_t function, const char* name)
{
    if (state >= 0 && (state != 0) == on)
        return true;
    const std::int32_t ts = receiver.dsproc_timeslot();
    if (on) {
        const std::uint32_t newId = nextId();
        if (!switchRequest(Dsp::kEnable, ts, newId, function)) {
            int error = errno;
            std::cerr << "DSPROC_ENABLE " << name << " fail:" << " timeslot=" << ts
                      << " id=" << newId << ErrnoSuffix{error} << std::endl;
            return false;
        }
        id = newId;
        state = 1;
        std::cerr << "DSPROC_ENABLE " << name << " done:" << " timeslot=" << ts << " id=" << newId << std::endl;
        return true;
    }
    if (!switchRequest(Dsp::kDisable, ts, 0, function)) {
        int error = errno;
        std::cerr << "DSPROC_DISABLE " << name << " fail:" << " timeslot=" << ts << ErrnoSuffix{error} << std::endl;
        return false;
    }
    state = 0;
    std::cerr << "DSPROC_DISABLE " << name << " done:" << " timeslot=" << ts << std::endl;
    return true;
}

bool DSProcReceiverService::enableVAD(DSProcReceiver& receiver, bool on)
{
    return enableFunction(receiver, on, receiver.vadState_, receiver.vadId_, Dsp::kVad, "VAD");
}

bool DSProcReceiverService::enableBSS(DSProcReceiver& receiver, bool on)
{
    return enableFunction(receiver, on, receiver.bssState_, receiver.bssId_, Dsp::kBss, "BSS");
}

bool DSProcReceiverService::enableNG(DSProcReceiver& receiver, bool on)
{
    return enableFunction(receiver, on, receiver.ngState_, receiver.ngId_, Dsp::kNg, "NG");
}

bool DSProcReceiverService::enableSD(DSProcReceiver& receiver, bool on)
{
    return enableFunction(receiver, on, receiver.sdState_, receiver.sdId_, Dsp::kSd, "SD");
}

bool DSProcReceiverService::enableMute(DSProcReceiver& receiver, bool rx, bool tx)
{
    if (receiver.rxMuteState_ >= 0 && receiver.txMuteState_ >= 0 && (receiver.rxMuteState_ != 0) == rx
        && (receiver.txMuteState_ != 0) == tx)
        return true;
    const std::int32_t ts = receiver.dsproc_timeslot();
    if (!rx && !tx) {
        if (!switchRequest(Dsp::kDisable, ts, 0, Dsp::kRxMute | Dsp::kTxMute)) {
            int error = errno;
            std::cerr << "DSPROC_DISABLE MUTE fail:" << " timeslot=" << ts << ErrnoSuffix{error} << std::endl;
            return false;
        }
        receiver.rxMuteState_ = 0;
        receiver.txMuteState_ = 0;
        std::cerr << "DSPROC_DISABLE MUTE done:" << " timeslot=" << ts << std::endl;
        return true;
    }
    const std::uint32_t id = nextId();
    const std::uint32_t functions = (rx ? Dsp::kRxMute : 0u) | (tx ? Dsp::kTxMute : 0u);
    if (!switchRequest(Dsp::kEnable, ts, id, functions)) {
        int error = errno;
        std::cerr << "DSPROC_ENABLE MUTE fail:" << " timeslot=" << ts << " id=" << id
                  << ErrnoSuffix{error} << std::endl;
        return false;
    }
    receiver.muteId_ = id;
    receiver.rxMuteState_ = rx ? 1 : 0;
    receiver.txMuteState_ = tx ? 1 : 0;
    std::cerr << "DSPROC_ENABLE MUTE done:" << " timeslot=" << ts << " id=" << id << std::endl;
    return true;
}

void DSProcReceiverService::disableToneAll(DSProcReceiver& receiver)
{
    const std::int32_t ts = receiver.dsproc_timeslot();
    if (!reopen("Disable All Tone fail: (interface not opened)", ts))
        return;
    if (!switchRequest(Dsp::kDisable, ts, 0, Dsp::kToneFilter)) {
        int error = errno;
        std::cerr << "Disable All Tone fail:" << " timeslot=" << ts << ErrnoSuffix{error} << std::endl;
        return;
    }
    std::clog << "DISABLE ALL TONE done: " << " ts=" << ts << std::endl;
}

void DSProcReceiverService::OnEvent(int fd, short revents)
{
    unsigned char buffer[Dsp::EventRecord::kSize];
    while (readEvent(fd, revents, buffer, sizeof buffer, "dsproc"))
        dispatch(Dsp::EventRecord::decode(buffer), buffer + Dsp::EventRecord::kSize - Dsp::EventRecord::kPayload);
}

void DSProcReceiverService::dispatch(const Dsp::EventRecord& event, const unsigned char* payload)
{
    const bool trace = traces.events;
    const std::int32_t word1 = static_cast<std::int32_t>(event.words[1]);
    const std::int32_t word2 = static_cast<std::int32_t>(event.words[2]);
    if (trace) {
        std::clog << "dsproc event: " << EventFields{event} << std::endl;
        switch (event.type) {
        case Dsp::kVad:
            std::clog << "dsproc vad event: " << " dir_mask=" << event.words[0]
                      << " vad_rx=" << word1 << " vad_tx=" << word2 << std::endl;
            break;
        case Dsp::kSd:
            std::clog << "dsproc sd event: " << " sd_rx=" << static_cast<std::int32_t>(event.words[0]) << std::endl;
            break;
        case Dsp::kBss:
            std::clog << "dsproc bss event: " << " score="
                      << payloadOf<dsproc_bss_event>(payload).get_score() << std::endl;
            break;
        case Dsp::kFlags:
            std::clog << "dsproc flags event: " << " flags=" << std::hex << event.words[0]
                      << ", mask=" << event.words[1] << std::dec << std::endl;
            break;
        default:
            break;
        }
    }

    DSProcReceiver* receiver = firstReceiverOf(event.ts, &DSProcReceiver::dsproc_timeslot);
    if (receiver == nullptr) {
        if (trace)
            std::cerr << "receive dsproc event from unknown timeslot " << event.ts << std::endl;
        return;
    }
    switch (event.type) {
    case Dsp::kVad:
        if (receiver->vadState_ == 0) {
            if (trace)
                std::clog << "ignore spurious dsproc vad event (dsproc disabled): " << EventFields{event} << std::endl;
        } else if (event.id == receiver->vadId_) {
            DSProcVADEvent vad;
            vad.rx = (event.words[0] & 1u) != 0 ? word1 : -1;
            vad.tx = (event.words[0] & 2u) != 0 ? word2 : -1;
            receiver->dsproc_vad_event(vad);
        } else if (trace) {
            std::clog << "ignore spurious dsproc vad event: " << EventFields{event}
                      << " rid=" << receiver->vadId_ << std::endl;
        }
        break;
    case Dsp::kSd:
        if (receiver->sdState_ != 0 && event.id == receiver->sdId_) {
            DSProcSDEvent sd;
            sd.sd_rx = static_cast<std::int32_t>(event.words[0]);
            receiver->dsproc_sd_event(sd);
        }
        break;
    case Dsp::kBss:
        if (receiver->bssState_ == 0) {
            if (trace)
                std::clog << "ignore spurious dsproc bss event (dsproc disabled): " << EventFields{event} << std::endl;
        } else {
            const dsproc_bss_event bss = payloadOf<dsproc_bss_event>(payload);
            receiver->dsproc_bss_event(&bss);
        }
        break;
    case Dsp::kToneFilter: {
        const dsproc_tone_event tone = payloadOf<dsproc_tone_event>(payload);
        receiver->dsproc_tone_flt_event(&tone);
        break;
    }
    case Dsp::kFlags: {
        const dsproc_flags_event flags = payloadOf<dsproc_flags_event>(payload);
        receiver->dsproc_flags_event(&flags);
        break;
    }
    default:
        break;
    }
}

} // namespace Hardware
