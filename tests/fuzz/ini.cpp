// The configuration file as an operator writes it: parsed, then read by the
// binders of the sections "traces" and "snmpagent". A second parse into the
// same model gives the same model (nothing of the first stays behind).
#include <sstream>
#include <string>

#include "Fuzz.h"

#include "control/TraceCtl.h"
#include "monitoring/MonitoringCtl.h"
#include "runtime/IniFile.h"

namespace {

std::string parse(const std::string& text, IniFile::File& file)
{
    std::istringstream in(text);
    in >> file;
    std::ostringstream dump;
    file.Dump(dump);
    return dump.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool quiet = (fuzz::silenceStreams(), true);
    (void)quiet;
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniFile::File file;
    const std::string first = parse(text, file);

    TraceCtl switches;
    switches.Configure(*file["traces"]);
    MonitoringCtl monitoring;
    monitoring.Configure(file);

    IniFile::File again;
    parse("[leftover]\nkey = value\n", again);
    if (parse(text, again) != first)
        fuzz::broken("a second parse into a used model differs from the first");
    return 0;
}
