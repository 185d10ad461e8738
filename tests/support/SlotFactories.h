#pragma once
// The slot factories as start-up builds them, newest first in the chain:
// for tests that meet the control commands as the daemon does.
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

namespace test {

inline void buildSlotFactories()
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

} // namespace test
