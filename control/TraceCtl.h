#pragma once
// Run-time trace switches, read from the configuration section "traces".
// Components test their switch each time before they trace.
#include "runtime/IniFile.h"

class TraceCtl
{
public:
    TraceCtl() = default;

    // Every occurrence of the section in file order: the last one decides,
    // since each starts from all switches off.
    void Configure(IniFile::Section& section);
    // All switches off, then the keys present set theirs. Bad or repeated
    // keys are reported on std::cerr ("traces: ...") and leave theirs off.
    void Configure(IniFile::SubSection& sub);

    bool hdlc = false;     // "signalling.hdlc": HDLC channel frames and states
    bool lemzgw = false;   // "signalling.lemzgw": read by nothing
    bool events = false;   // "signalling.events": one line per DSP event
    bool internal = false; // "monitoring.internal": the monitoring checks
};

extern TraceCtl traces;
