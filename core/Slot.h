#pragma once
// Base of every endpoint the controller creates under a slot id (trunk
// channels, RTP streams, mixers, modems, signalling links, ...). It keeps what
// the registry (Slots) and the connection functions (SlotConnection.h) need of
// every slot: the id, the place in the connection graph, the owning factory
// and the lifecycle flags. Slot types override the hooks whose names begin
// with I; the On... and process... members turn slot events into signals
// addressed to the slot's id.
//
// Ownership: Slots owns and deletes slots; a factory only lists the slots it
// made. The graph pointers (source, receivers) own nothing.
#include <ostream>
#include <string>
#include <vector>

#include "asn1/modules/ACP.h"
#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "control/CtrlSrvServer.h"
#include "hardware/TonecReceiver.h"

class SlotFactory;
namespace Hardware {
struct DSProcVADEvent;
struct DSProcSDEvent;
}
struct dsproc_tone_event;
struct dsproc_flags_event;
struct dsproc_bss_event;
struct rtp_event;

class Slot;

// Links of the registry's list of live slots and of the owning factory's list.
struct SlotLiveLink {
    Slot* next = nullptr;
    Slot* prev = nullptr;
};
struct SlotFactoryLink {
    Slot* next = nullptr;
    Slot* prev = nullptr;
};

class Slot : public SlotLiveLink, public SlotFactoryLink {
public:
    // The id of a slot not in the registry.
    static constexpr unsigned kNoId = CtrlSrv::Server::no_slot;

    Slot();
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    // Empties the receivers; the slot is unlinked before (Slots::Destroy).
    virtual ~Slot();

    virtual int GetTrunk();
    virtual int GetTrunkTimeSlot();
    virtual void OnTrunkStatus(unsigned trunk, const ACP::TrunkState::NamedNumber& state);
    // Once, right after the create command was answered with success.
    virtual void IAfterCreate();
    // True: may be deleted now. False: the slot shuts down asynchronously and
    // calls on_release() when it is done.
    virtual bool IBeforeDestroy();
    // False from these four is answered `unsupported`.
    virtual bool IActivate(const TERM::TermActivateParams& params);
    virtual bool IDeactivate();
    virtual bool IUserData(const std::vector<char>& data);
    virtual bool Ioctl(const LGCP::IoctlParams& params);
    // The side with the higher priority makes the hardware link.
    virtual int GetConnectionPriority();
    virtual bool IHwConnectTransmitter(Slot& receiver);
    virtual bool IHwConnectReceiver(Slot& transmitter);
    virtual bool IHwDisconnectTransmitter(Slot& receiver);
    virtual bool IHwDisconnectReceiver(Slot& transmitter);
    // False: the slot has no such stream.
    virtual bool IOnOutputStream();
    virtual bool IOnInputStream();
    virtual void IOnOutputRelease();
    virtual void IOnInputRelease();
    // TDM channels of the slot's output and input; -1: none.
    virtual int IGetTransmitChannel();
    virtual int IGetReceiveChannel();
    // The slot type's name in logs.
    virtual const char* GetName() const = 0;

    // "05:rtp", "i1024:rtp", "na:rtp" (no id yet).
    void Put(std::ostream& os) const;

    // Sent through the Slots service with slot = this id and no seq.
    void SendSignal(const LGCP::Signal& signal);

    void OnTonecEvent(const LGCP::TonecEvent& event);
    void OnNumber(const std::string& number);
    void OnModem(const TERM::ModemProceeding& proceeding);
    void OnModem(const TERM::ModemInformation& information);
    void OnActivated();
    void OnDeactivated();
    void OnAbort(int cause);
    void OnUserData(const std::vector<char>& data);
    void OnIoctlResponse(const LGCP::IoctlResponse& response);
    void OnRtpRadioEvent(const TERM::RtpRadioRequest& request);
    void OnVADEvent(const LGCP::VADEvent& event);
    void OnProtoLemzEvent(const LEMZGW::ProtoLemzPackets& packets);
    void OnSDEvent(const LGCP::SDEvent& event);
    void OnRtpEvent(const LGCP::RtpEvent& event);

    // Signal `receiver` / `transmitter` when the stream's state changes.
    // Going inactive first parts the slot from its source / its receivers.
    void OnChangeInputStream(bool active);
    void OnChangeOutputStream(bool active);

    // Detector and DSP events into signals.
    void processTonecEvent(const Hardware::TonecReceiver::Params& params);
    void processToneGenEvent();
    void processToneFltEvent(const dsproc_tone_event* event);
    void processVADEvent(const Hardware::DSProcVADEvent& event);
    void processSDEvent(const Hardware::DSProcSDEvent& event);
    void processFlagsEvent(const dsproc_flags_event* event);
    void processBSSEvent(const dsproc_bss_event* event);
    void processRtpEvent(const rtp_event& event);

    // IBeforeDestroy(); when it agrees, the slot leaves its factory.
    bool BeforeDestroy();
    // Called by a slot whose IBeforeDestroy() returned false once it is done.
    // While a destruction is under way this deletes the slot: the caller must
    // not touch it afterwards.
    void on_release();

    // Graph bookkeeping only; the hardware is left alone.
    void LogicalConnect(Slot& src);
    void LogicalDisconnect();

    unsigned GetId() const { return id_; }
    void SetId(unsigned id) { id_ = id; }
    Slot* GetSource() const { return source_; }
    // Sorted by address, no duplicates.
    const std::vector<Slot*>& GetReceivers() const { return receivers_; }
    SlotFactory* GetFactory() const { return factory_; }
    bool IsInputStream() const { return inputStream_; }
    bool IsOutputStream() const { return outputStream_; }
    bool IsDestroying() const { return destroying_; }

private:
    friend class Slots;
    friend class SlotFactory;

    // Parts every receiver (one per Disconnect); `complaint` goes to
    // std::cerr when the list ran empty before its count.
    void DisconnectReceivers(const char* complaint);

    unsigned id_ = kNoId;
    std::vector<Slot*> receivers_;
    Slot* source_ = nullptr;
    SlotFactory* factory_ = nullptr;
    bool inputStream_ = false;
    bool outputStream_ = false;
    bool destroying_ = false;
    unsigned destroySeq_ = 0;
    // A destroy command waits for this slot's on_release (seq above).
    bool destroyAnswerPending_ = false;
    bool inFactoryList_ = false;
    // In the registry's list of slots left over from a lost controller
    // instead of its live list.
    bool lost_ = false;
    // Slots::Destroy is inside this slot's BeforeDestroy; an on_release from
    // there is only noted and completed once BeforeDestroy has returned.
    bool inDestroyHook_ = false;
    bool releasedInHook_ = false;
};

inline std::ostream& operator<<(std::ostream& os, const Slot& slot)
{
    slot.Put(os);
    return os;
}
