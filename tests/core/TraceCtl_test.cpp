#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "core/TraceCtl.h"
#include "runtime/IniFile.h"

namespace {

struct Switches {
    bool hdlc, lemzgw, events, internal;
};

void expectSwitches(const TraceCtl& t, Switches s)
{
    EXPECT_EQ(t.hdlc, s.hdlc);
    EXPECT_EQ(t.lemzgw, s.lemzgw);
    EXPECT_EQ(t.events, s.events);
    EXPECT_EQ(t.internal, s.internal);
}

// Configures a fresh TraceCtl from the text's section "traces"; returns
// what the reader wrote on std::cerr.
std::string configure(TraceCtl& t, const std::string& text)
{
    IniFile::File file;
    std::istringstream in(text);
    in >> file;
    std::ostringstream err;
    std::streambuf* old = std::cerr.rdbuf(err.rdbuf());
    t.Configure(*file["traces"]);
    std::cerr.rdbuf(old);
    return err.str();
}

} // namespace

TEST(TraceCtlTest, OffUntilAKeySetsIt)
{
    TraceCtl t;
    expectSwitches(t, {false, false, false, false});
    EXPECT_EQ(configure(t, "[other]\nsignalling.hdlc=yes\n"), "");
    expectSwitches(t, {false, false, false, false});

    EXPECT_EQ(configure(t, "[traces]\nsignalling.events = true\n"), "");
    expectSwitches(t, {false, false, true, false});

    EXPECT_EQ(configure(t, "[traces]\nsignalling.hdlc=enabled\nsignalling.lemzgw=1\n"
                           "signalling.events=disable\nmonitoring.internal=yes\n"),
              "");
    expectSwitches(t, {true, true, false, true});
}

TEST(TraceCtlTest, LastOccurrenceDecides)
{
    TraceCtl t;
    configure(t, "[traces]\nsignalling.hdlc=true\n[traces]\nmonitoring.internal=true\n");
    expectSwitches(t, {false, false, false, true});
}

TEST(TraceCtlTest, BadKeysAreReportedAndLeftOff)
{
    TraceCtl t;
    t.events = true;
    std::string err = configure(t, "[traces]\nsignalling.hdlc=on\n"
                                   "monitoring.internal=yes\nmonitoring.internal=yes\n"
                                   "signalling.lemzgw=true\n");
    EXPECT_EQ(err, "traces: optional key \"signalling.hdlc\" has invalid value=\"on\", line 2. Key will be ignored.\n"
                   "traces: optional key \"monitoring.internal\" is duplicated!\n"
                   "traces:  first occurence at 3 line.\n"
                   "traces:  second occurence at 4 line. Both keys will be ignored.\n");
    expectSwitches(t, {false, true, false, false});
}
