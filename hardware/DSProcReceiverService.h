#pragma once
// The board's voice signal processor on "/dev/dsp": per time slot VAD, SD,
// BSS, noise gate, muting, delays, receive gain and tone filters. The service
// issues every request and reads the events, handing each to the first
// receiver (DSProcReceiver) of the event's time slot, after the checks of its
// type: VAD and SD events need the function not off and the receiver's id,
// BSS events the function not off; tone-filter and flags events always pass.
//
// The device is opened at construction; when that fails, the configure
// operations and disableToneAll try again, and the enable family fails (and
// says so) until it is open. Enable requests draw their ids from one counter
// that wraps from 4294967295 to 1. Request results go to std::cerr (failures
// and the enable family) or std::clog (configure traces), event traces to
// std::clog while the "signalling.events" switch of `traces` is on; the
// lines carry no header.
#include <cstdint>

#include "asn1/modules/LGCP.h"
#include "board/DspRecords.h"
#include "hardware/ReceiverService.h"

class BoardDevice;

namespace Hardware {

class DSProcReceiver;

class DSProcReceiverService : public ReceiverService {
public:
    // The process's service on the process's board, built at the first call.
    static DSProcReceiverService& instance();

    DSProcReceiverService();
    explicit DSProcReceiverService(BoardDevice& board);
    ~DSProcReceiverService();

    // Opens the device and watches it for events; true when open.
    bool init() override;

    // Asks the VAD version first: version 2 takes the v2 parameters (and
    // fails without them), any other the fixed settings.
    bool configureVAD(unsigned ts, const LGCP::VADParams& params);
    bool configureSD(unsigned ts);
    void configureDelays(unsigned ts, int rx, int tx, int selcal);
    void configureRxGain(unsigned ts, char gain);
    void configureToneFilter(unsigned ts, unsigned freq, unsigned enable, int duration, int level);

    // Nothing is sent when the function is known to be as asked.
    bool enableVAD(DSProcReceiver& receiver, bool on);
    bool enableBSS(DSProcReceiver& receiver, bool on);
    bool enableNG(DSProcReceiver& receiver, bool on);
    bool enableSD(DSProcReceiver& receiver, bool on);
    bool enableMute(DSProcReceiver& receiver, bool rx, bool tx);
    void disableToneAll(DSProcReceiver& receiver);

    // Reads and dispatches events until the device has none.
    void OnEvent(int fd, short revents) override;

private:
    bool configure(const Dsp::ConfigureRecord& record);
    bool switchRequest(std::uint32_t code, std::int32_t ts, std::uint32_t id, std::uint32_t functions);
    bool enableFunction(DSProcReceiver& receiver, bool on, std::int32_t& state, std::uint32_t& id,
                        std::uint32_t function, const char* name);
    void dispatch(const Dsp::EventRecord& event, const unsigned char* payload);
};

} // namespace Hardware
