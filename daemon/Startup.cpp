#include "daemon/Startup.h"

#include "control/CtrlSrvServer.h"
#include "control/HeartBeatCtl.h"
#include "core/Slots.h"
#include "hardware/BusCtl.h"
#include "hardware/E1Ctl.h"
#include "hardware/HwTests.h"
#include "hardware/spiCtrl.h"
#include "monitoring/MonitoringCtl.h"
#include "radio/RtpED137Factory.h"
#include "radio/RtpLEMZFactory.h"
#include "slots/EchoFactory.h"
#include "slots/ExtFactory.h"
#include "slots/HdlcSlotFactory.h"
#include "slots/IsdnFactory.h"
#include "slots/MapFactory.h"
#include "slots/MccFactory.h"
#include "slots/MixerFactory.h"
#include "slots/ModemFactory.h"
#include "slots/PstnFactory.h"
#include "slots/RtpFactory.h"
#include "slots/T38SoftFactory.h"
#include "slots/TrunkFactory.h"
#include "slots/VoiceFactory.h"

namespace {

// Nothing else names the trunk factories: this is what links them in from
// the library.
[[gnu::used]] SlotFactory* const trunkFactories[] = {e1TrunkFactories, briTrunkFactories};

} // namespace

namespace Startup {

void buildSlotFactories()
{
    MapFactory::instance();
    PstnFactory::instance();
    RtpFactory::instance();
    ModemFactory::instance();
    Mixer::MixerFactory::instance();
    ExtFactory::instance();
    MccFactory::instance();
    EchoFactory::instance();
    VoiceFactory::instance();
    T38SoftFactory::instance();
    IsdnFactory::instance();
    RtpLEMZFactory::instance();
    RtpED137Factory::instance();
    HdlcSlotFactory::instance();
}

void bindControlServices(CtrlSrv::Server& server)
{
    server.Bind(&HeartBeatCtl::instance());
    server.Bind(&Slots::instance());
    server.Bind(&HwTests::instance());
    server.Bind(&BusCtl::instance());
    server.Bind(&E1Ctl::instance());
    server.Bind(&spiCtrl::instance());
    server.Bind(&MonitoringCtl::instance());
}

} // namespace Startup
