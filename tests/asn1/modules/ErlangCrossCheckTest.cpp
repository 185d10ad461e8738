// Cross-check of the aligned PER coder and the generated modules against an
// independent ASN.1 compiler: Erlang/OTP's (erlc -bper) compiles the same
// module sources (crosscheck/crosscheck.py) and the two sides exchange many
// random values of every type of every module, in both directions.
//
// Our aligned PER departs from X.691 where the controller does the same; the
// copy of the sources given to Erlang maps that away: each ENUMERATED becomes
// INTEGER (0..max) (INTEGER (0..max, ...) when extensible), so that it is
// coded by its declared value, and extension additions become OPTIONAL. One
// difference stays: our encoder writes an extension bit map only as long as
// the value's extension map (up to its last present addition), X.691 one bit
// per known addition. Where that makes Erlang's re-encoding of our octets
// longer, the test decodes Erlang's octets and compares the values instead.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "asn1/modules/CrossCheckConfig.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/Modules.h"

namespace {

using ASN1::AbstractData;
using ModulesTest::hex;

// Values generated per type on each side.
const int ValuesPerType = 40;
// Failures reported before the test gives up on a direction.
const int MaxReported = 20;

struct Line {
    std::string module;
    std::string type;       // ASN.1 form of the name
    std::string octets;     // hexadecimal, or "ERROR ..." from Erlang
};

std::string asnName(const std::string& name)
{
    std::string text = name;
    for (char& c : text) {
        if (c == '_')
            c = '-';
    }
    return text;
}

std::vector<Line> readLines(const std::string& path)
{
    std::vector<Line> lines;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
        std::istringstream fields(text);
        Line line;
        fields >> line.module >> line.type;
        std::getline(fields >> std::ws, line.octets);
        lines.push_back(line);
    }
    return lines;
}

// True when a value of the type can hold a SEQUENCE with known extension
// additions, whose extension bit map we may write shorter than X.691.
bool reachesExtensionAdditions(const AbstractData::InfoType* info)
{
    for (const AbstractData::InfoType* part : ModulesTest::reachable(info)) {
        std::unique_ptr<AbstractData> value(part->create(part));
        const ASN1::SEQUENCE* seq = dynamic_cast<const ASN1::SEQUENCE*>(value.get());
        if (seq && seq->info()->knownExtensions != 0)
            return true;
    }
    return false;
}

class ErlangCrossCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!STALVANE_ASN1_CROSSCHECK)
            GTEST_SKIP() << "cross-compiled build: the Erlang cross-check runs on the build host only";
        if (std::system("command -v erlc >/dev/null 2>&1 && command -v erl >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "erlc not found (Debian packages erlang-base and erlang-asn1)";
        std::string pattern = (std::filesystem::temp_directory_path() / "asn1-crosscheck-XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(&pattern[0]));
        dir_ = pattern;
        for (const Asn1Modules::Module* module : Asn1Modules::modules) {
            for (std::size_t i = 0; i < module->typeCount; ++i)
                types_[std::string(module->name) + " " + asnName(module->types[i].name)] = &module->types[i];
        }
    }

    void TearDown() override
    {
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }

    // Runs the harness script; its output goes to a log shown on failure.
    bool harness(const std::string& args)
    {
        const std::string log = dir_ + "/harness.log";
        const std::string command = std::string(STALVANE_PYTHON) + " " STALVANE_ASN1_CROSSCHECK_DIR "/crosscheck.py " +
                                    args + " >" + log + " 2>&1";
        if (std::system(command.c_str()) == 0)
            return true;
        std::ifstream in(log);
        std::cerr << command << " failed:\n" << in.rdbuf() << std::endl;
        return false;
    }

    const Asn1Modules::TypeEntry* find(const Line& line) const
    {
        const auto it = types_.find(line.module + " " + line.type);
        return it == types_.end() ? nullptr : it->second;
    }

    std::string dir_;
    std::map<std::string, const Asn1Modules::TypeEntry*> types_;
};

TEST_F(ErlangCrossCheck, EveryTypeOfEveryModuleBothWays)
{
    const std::string work = dir_ + "/erlang";
    ASSERT_TRUE(harness("prepare " STALVANE_ASN1_SOURCE_DIR " " + work));

    // Erlang to us: our decoder reads Erlang's octets and our encoder writes
    // them again unchanged.
    ASSERT_TRUE(harness("gen " + work + " " + std::to_string(ValuesPerType) + " " + dir_ + "/from-erlang.txt"));
    std::set<std::string> typesFromErlang;
    int fromErlang = 0;
    int failures = 0;
    for (const Line& line : readLines(dir_ + "/from-erlang.txt")) {
        const Asn1Modules::TypeEntry* type = find(line);
        ASSERT_NE(nullptr, type) << line.module << " " << line.type;
        std::vector<char> octets;
        ASSERT_TRUE(ModulesTest::unhex(line.octets, octets)) << line.octets;
        std::unique_ptr<AbstractData> value(type->info->create(type->info));
        std::vector<char> again;
        const bool decoded = ModulesTest::decodePer(octets, *value);
        const bool encoded = decoded && ModulesTest::encodePer(*value, again);
        if (!decoded || !encoded || again != octets) {
            ADD_FAILURE() << line.module << "::" << line.type << " from Erlang " << line.octets
                          << (decoded ? (encoded ? " encodes again as " + hex(again) : " does not encode again")
                                      : " does not decode");
            if (++failures == MaxReported)
                return;
        }
        typesFromErlang.insert(line.module + " " + line.type);
        ++fromErlang;
    }

    // Us to Erlang: Erlang decodes our octets and encodes them again.
    ModulesTest::Random random(0x5EED);
    std::vector<std::unique_ptr<AbstractData>> values;
    std::vector<Line> sent;
    std::map<const AbstractData::InfoType*, bool> mayDiffer;
    {
        std::ofstream out(dir_ + "/from-us.txt");
        for (const Asn1Modules::Module* module : Asn1Modules::modules) {
            for (std::size_t i = 0; i < module->typeCount; ++i) {
                const Asn1Modules::TypeEntry& type = module->types[i];
                mayDiffer[type.info] = reachesExtensionAdditions(type.info);
                for (int n = 0; n < ValuesPerType; ++n) {
                    values.push_back(ModulesTest::randomValue(type.info, random));
                    std::vector<char> octets;
                    ASSERT_TRUE(ModulesTest::encodePer(*values.back(), octets)) << module->name << "::" << type.name;
                    sent.push_back(Line{module->name, asnName(type.name), hex(octets)});
                    out << sent.back().module << " " << sent.back().type << " " << sent.back().octets << "\n";
                }
            }
        }
        // The worked layouts of the control link, byte for byte on both sides.
        for (const char* layout : {"c00101000540", "4000038640", "c00107000c040028"}) {
            std::vector<char> octets;
            ModulesTest::unhex(layout, octets);
            values.emplace_back(new LGCP::Message);
            ASSERT_TRUE(ModulesTest::decodePer(octets, *values.back())) << layout;
            sent.push_back(Line{"LGCP", "Message", layout});
            out << "LGCP Message " << layout << "\n";
        }
    }
    ASSERT_TRUE(harness("check " + work + " " + dir_ + "/from-us.txt " + dir_ + "/back.txt"));
    const std::vector<Line> back = readLines(dir_ + "/back.txt");
    ASSERT_EQ(sent.size(), back.size());
    std::set<std::string> typesToErlang;
    int sameOctets = 0;
    int sameValues = 0;
    failures = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        typesToErlang.insert(sent[i].module + " " + sent[i].type);
        if (back[i].octets == sent[i].octets) {
            ++sameOctets;
            continue;
        }
        const AbstractData::InfoType* info = values[i]->info();
        std::vector<char> octets;
        std::unique_ptr<AbstractData> decoded(info->create(info));
        if (back[i].octets.compare(0, 5, "ERROR") != 0 && mayDiffer[info] &&
            ModulesTest::unhex(back[i].octets, octets) && ModulesTest::decodePer(octets, *decoded) &&
            decoded->compare(*values[i]) == 0) {
            ++sameValues;
            continue;
        }
        ADD_FAILURE() << sent[i].module << "::" << sent[i].type << " sent as " << sent[i].octets
                      << ", Erlang: " << back[i].octets << "\nvalue: " << values[i]->asValueNotation();
        if (++failures == MaxReported)
            return;
    }

    EXPECT_EQ(types_.size(), typesFromErlang.size());
    EXPECT_EQ(types_.size(), typesToErlang.size());
    std::cout << "Erlang cross-check: " << types_.size() << " types; " << fromErlang
              << " values from Erlang decoded and encoded again unchanged; " << sent.size()
              << " values sent to Erlang, " << sameOctets << " encoded again unchanged, " << sameValues
              << " compared as decoded values (extension bit map of X.691 length)" << std::endl;
    RecordProperty("types", static_cast<int>(types_.size()));
    RecordProperty("values", fromErlang + static_cast<int>(sent.size()));
}

} // namespace
