#include "hardware/DSProcReceiver.h"

#include "hardware/DSProcReceiverService.h"

namespace Hardware {

Containers::CyclicList& DSProcReceiver::receivers()
{
    static Containers::CyclicList list;
    return list;
}

DSProcReceiver* DSProcReceiver::fromLink(Containers::CyclicList* node)
{
    return Containers::offset(node, &DSProcReceiver::link_);
}

DSProcReceiver::DSProcReceiver()
{
    receivers().InternalAddTail(&link_);
}

DSProcReceiver::DSProcReceiver(DSProcReceiverService& service) : service_(&service)
{
    receivers().InternalAddTail(&link_);
}

DSProcReceiver::~DSProcReceiver()
{
    link_.Unlink();
}

DSProcReceiverService& DSProcReceiver::service()
{
    if (service_ == nullptr)
        service_ = &DSProcReceiverService::instance();
    return *service_;
}

bool DSProcReceiver::configureVAD(const LGCP::VADParams& params)
{
    return service().configureVAD(static_cast<unsigned>(dsproc_timeslot()), params);
}

bool DSProcReceiver::enableVAD(bool on)
{
    return service().enableVAD(*this, on);
}

bool DSProcReceiver::disableVAD()
{
    return enableVAD(false);
}

bool DSProcReceiver::enableBSS(bool on)
{
    return service().enableBSS(*this, on);
}

bool DSProcReceiver::disableBSS()
{
    return enableBSS(false);
}

bool DSProcReceiver::enableNG(bool on)
{
    return service().enableNG(*this, on);
}

bool DSProcReceiver::disableNG()
{
    return enableNG(false);
}

bool DSProcReceiver::configureSD()
{
    return service().configureSD(static_cast<unsigned>(dsproc_timeslot()));
}

bool DSProcReceiver::enableSD(bool on)
{
    return service().enableSD(*this, on);
}

bool DSProcReceiver::disableSD()
{
    return enableSD(false);
}

bool DSProcReceiver::enableMute(bool rx, bool tx)
{
    return service().enableMute(*this, rx, tx);
}

bool DSProcReceiver::disableMute()
{
    return enableMute(false, false);
}

void DSProcReceiver::configureDelays(int rx, int tx, int selcal)
{
    service().configureDelays(static_cast<unsigned>(dsproc_timeslot()), rx, tx, selcal);
    delaysSet_ = rx != 0 || tx != 0 || selcal != 0;
}

void DSProcReceiver::configureRxGain(char gain)
{
    service().configureRxGain(static_cast<unsigned>(dsproc_timeslot()), gain);
    rxGainSet_ = gain != 0;
}

void DSProcReceiver::configureToneFilter(unsigned freq, unsigned enable, int duration, int level)
{
    service().configureToneFilter(static_cast<unsigned>(dsproc_timeslot()), freq, enable, duration, level);
}

void DSProcReceiver::disableToneAll()
{
    service().disableToneAll(*this);
}

void DSProcReceiver::CleanBeforeDestroy()
{
    if (vadState_ > 0)
        enableVAD(false);
    if (bssState_ > 0)
        enableBSS(false);
    if (ngState_ > 0)
        enableNG(false);
    if (delaysSet_)
        configureDelays(0, 0, 0);
    if (rxGainSet_)
        configureRxGain(0);
    disableToneAll();
}

} // namespace Hardware
