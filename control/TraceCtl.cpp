#include "control/TraceCtl.h"

#include <iostream>

#include "runtime/IniFileReader.h"

TraceCtl traces;

void TraceCtl::Configure(IniFile::Section& section)
{
    for (IniFile::SubSection& sub : section)
        Configure(sub);
}

void TraceCtl::Configure(IniFile::SubSection& sub)
{
    *this = TraceCtl();
    IniFile::Reader reader("traces: ", std::cerr);
    reader.optional.add(&hdlc, "signalling.hdlc");
    reader.optional.add(&lemzgw, "signalling.lemzgw");
    reader.optional.add(&events, "signalling.events");
    reader.optional.add(&internal, "monitoring.internal");
    reader.parse(sub);
}
