#pragma once
// Paths of the board's character devices, each spelled once here, and the
// names of the voice driver's codecs. The paths are the board's own; the
// device layer (BoardDevice) maps them for local runs.

const char* GetVoiceDevName();
const char* GetMixerDevName();
const char* GetDTMFDevName();
const char* GetDSPDevName();
const char* GetRtpDevName();
const char* GetRtpExtDevName();
const char* GetModemDevName();
const char* GetMaintenance();
const char* GetSpiTdmDevName();

// "unknown", "g711", ... for the voice driver's codec numbers 0..8, "invalid"
// for anything else.
const char* GetCodecAsStr(int codec);
