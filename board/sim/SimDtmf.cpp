#include "board/sim/SimDtmf.h"

#include <cerrno>

#include "board/sim/SimBoard.h"

SimDtmf& SimDtmf::of(const SimBoard& board)
{
    return static_cast<SimDtmf&>(*board.driver("/dev/dtmf"));
}

const SimDtmf::Channel& SimDtmf::channel(int ts) const
{
    static const Channel off;
    auto it = channels_.find(ts);
    return it == channels_.end() ? off : it->second;
}

int SimDtmf::ioctl(SimOpenFile&, std::uint32_t code, unsigned char* record, std::size_t, int& error)
{
    switch (code) {
    case Tonec::kConfigureDetector:
    case Tonec::kEnableDetector:
    case Tonec::kDial:
    case Tonec::kIvaConfigure:
    case Tonec::kSelcalDial:
        break;
    default:
        error = ENOTTY;
        return -1;
    }
    // Every record starts with the time slot.
    const std::int32_t ts = BigEndian::getI32(record);
    if (!valid(ts)) {
        error = EINVAL;
        return -1;
    }
    Channel& ch = channels_[ts];
    switch (code) {
    case Tonec::kConfigureDetector:
        ch.configured = true;
        ch.thresholds = Tonec::ConfigureRecord::decode(record);
        break;
    case Tonec::kEnableDetector:
        ch.dtmfOn = true;
        ch.dtmfId = Tonec::EnableRecord::decode(record).id;
        break;
    case Tonec::kDial:
        ch.generator = Tonec::DialRecord::decode(record);
        break;
    case Tonec::kIvaConfigure:
        ch.ivaConfigured = true;
        ch.ivaLevel = Tonec::IvaConfigureRecord::decode(record).level;
        break;
    default:
        ch.selcalDialled = true;
        ch.selcal = Tonec::SelcalRecord::decode(record);
        break;
    }
    return 0;
}

int SimDtmf::ioctlValue(SimOpenFile&, std::uint32_t code, long value, int& error)
{
    switch (code) {
    case Tonec::kDisableDetector:
    case Tonec::kLmsOn:
    case Tonec::kLmsOff:
    case Tonec::kRejectionEnable:
    case Tonec::kRejectionDisable:
    case Tonec::kIvaEnable:
    case Tonec::kIvaDisable:
        break;
    default:
        error = ENOTTY;
        return -1;
    }
    if (value < 0 || value >= kTimeSlots) {
        error = EINVAL;
        return -1;
    }
    Channel& ch = channels_[static_cast<std::int32_t>(value)];
    switch (code) {
    case Tonec::kDisableDetector:
        ch.dtmfOn = false;
        break;
    case Tonec::kLmsOn:
    case Tonec::kLmsOff:
        ch.echoCancel = code == Tonec::kLmsOn;
        break;
    case Tonec::kRejectionEnable:
    case Tonec::kRejectionDisable:
        ch.rejection = code == Tonec::kRejectionEnable;
        break;
    default:
        ch.ivaOn = code == Tonec::kIvaEnable;
        break;
    }
    return 0;
}

bool SimDtmf::detect(int ts, std::int32_t code, std::int32_t timestamp)
{
    const Channel& ch = channel(ts);
    if (!ch.dtmfOn && !ch.ivaOn)
        return false;
    return sendEvent({code, ts, timestamp, ch.dtmfId});
}

bool SimDtmf::sendEvent(const Tonec::EventRecord& event)
{
    const Tonec::EventRecord::Bytes bytes = event.encode();
    return sendBytes(bytes.data(), bytes.size());
}
