#pragma once
// The board's tone processor on "/dev/dtmf": DTMF and IVA detectors, echo
// canceller and DTMF rejection per time slot, the tone generator and SELCAL.
// The service issues every request and reads the detection events, handing
// each to the first receiver (TonecReceiver) of the event's time slot whose
// detector is on and whose detector id the event carries.
//
// The device is opened at construction; when that fails, the two configure
// operations try again, and the others fail (and say so) until it is open.
// Every operation returns true on success. Failures go to std::cerr, request
// traces to std::clog; the lines carry no header.
#include <cstdint>

#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "hardware/ReceiverService.h"

class BoardDevice;

namespace Hardware {

class TonecReceiver;

class TonecReceiverService : public ReceiverService {
public:
    // The process's service on the process's board, built at the first call.
    static TonecReceiverService& instance();

    TonecReceiverService();
    explicit TonecReceiverService(BoardDevice& board);
    ~TonecReceiverService();

    // Opens the device and watches it for events; true when open.
    bool init() override;

    bool configureDTMF(unsigned ts, const LGCP::DTMFParams& params);
    // Detector on with a new id, or off; nothing when the receiver's detector
    // already is as asked (off is still sent while its DTMF is enabled).
    bool enableDTMF(TonecReceiver& receiver, bool on);
    bool echoCancel(unsigned ts, bool on);
    bool enableDTMFReject(unsigned ts, bool on);
    bool enableToneGenerator(unsigned ts, std::uint16_t freq1, std::uint16_t freq2, std::uint16_t amp1,
                             std::uint16_t amp2);
    bool configureIVA(TonecReceiver& receiver, const LGCP::IVAParams& params);
    bool enableIVA(TonecReceiver& receiver, bool on);
    // The request's result; -1 when it fails or fewer than 4 signs are given.
    int translateSelcal(TonecReceiver& receiver, const TERM::SelcalCommand& cmd);

    // Reads and dispatches events until the device has none.
    void OnEvent(int fd, short revents) override;

private:
    bool valueRequest(std::uint32_t code, unsigned ts, const char* name, const char* suffix);
};

} // namespace Hardware
