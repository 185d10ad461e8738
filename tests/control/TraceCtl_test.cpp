#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "control/TraceCtl.h"
#include "protocol/LoopDriver.h"

namespace {

// The switches as "hdlc lemzgw events internal" bits, e.g. "0010".
std::string switches(const TraceCtl& t)
{
    return std::string{t.hdlc ? '1' : '0', t.lemzgw ? '1' : '0', t.events ? '1' : '0', t.internal ? '1' : '0'};
}

// Configures t from the text's section "traces"; returns what went to std::cerr.
std::string configure(TraceCtl& t, const std::string& text)
{
    IniFile::File file;
    std::istringstream in(text);
    in >> file;
    looptest::Capture err(std::cerr);
    t.Configure(*file["traces"]);
    return err.str();
}

} // namespace

TEST(TraceCtlTest, EachOccurrenceStartsFromAllOff)
{
    TraceCtl t;
    EXPECT_EQ(switches(t), "0000");
    EXPECT_EQ(configure(t, "[other]\nsignalling.hdlc=yes\n"), "");
    EXPECT_EQ(switches(t), "0000");
    configure(t, "[traces]\nsignalling.events = true\n");
    EXPECT_EQ(switches(t), "0010");
    configure(t, "[traces]\nsignalling.hdlc=enabled\nsignalling.lemzgw=1\nsignalling.events=disable\n"
                 "monitoring.internal=yes\n");
    EXPECT_EQ(switches(t), "1101");
    configure(t, "[traces]\nsignalling.hdlc=true\n[traces]\nmonitoring.internal=true\n");
    EXPECT_EQ(switches(t), "0001");
}

TEST(TraceCtlTest, BadKeysAreReportedAndLeftOff)
{
    TraceCtl t;
    t.events = true;
    EXPECT_EQ(configure(t, "[traces]\nsignalling.hdlc=on\nmonitoring.internal=yes\nmonitoring.internal=yes\n"
                           "signalling.lemzgw=true\n"),
              "traces: optional key \"signalling.hdlc\" has invalid value=\"on\", line 2. Key will be ignored.\n"
              "traces: optional key \"monitoring.internal\" is duplicated!\n"
              "traces:  first occurence at 3 line.\n"
              "traces:  second occurence at 4 line. Both keys will be ignored.\n");
    EXPECT_EQ(switches(t), "0100");
}
