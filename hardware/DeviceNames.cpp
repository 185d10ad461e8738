#include "hardware/DeviceNames.h"

const char* GetVoiceDevName() { return "/dev/voice"; }
const char* GetMixerDevName() { return "/dev/mixer"; }
const char* GetDTMFDevName() { return "/dev/dtmf"; }
const char* GetDSPDevName() { return "/dev/dsp"; }
const char* GetRtpDevName() { return "/dev/rtp"; }
const char* GetRtpExtDevName() { return "/dev/rtp_ext"; }
const char* GetModemDevName() { return "/dev/mctl"; }
const char* GetMaintenance() { return "/dev/maintenance"; }
const char* GetSpiTdmDevName() { return "/dev/spi_tdm"; }

namespace {

const char* const kCodecNames[] = {
    "unknown", "g711", "g723", "g729", "tonec", "g711-rtp", "g729-rtp", "g723-rtp", "conf",
};

} // namespace

const char* GetCodecAsStr(int codec)
{
    // Compared unsigned: negative numbers are out of range too.
    unsigned index = static_cast<unsigned>(codec);
    return index < sizeof kCodecNames / sizeof kCodecNames[0] ? kCodecNames[index] : "invalid";
}
