// The generator run on small modules of its own: what it writes, and how it
// refuses sources it cannot turn into a module.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "asn1/modules/CrossCheckConfig.h"

namespace {

class Generator : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!STALVANE_ASN1_CROSSCHECK)
            GTEST_SKIP() << "cross-compiled build: the generator runs on the build host only";
        std::string pattern = (std::filesystem::temp_directory_path() / "asn1gen-XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(&pattern[0]));
        dir_ = pattern;
    }
    void TearDown() override
    {
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }

    void write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir_ + "/" + name) << text;
    }

    std::string read(const std::string& name) const
    {
        std::ifstream in(dir_ + "/" + name);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs the generator on the named sources; its exit status, messages in log.
    int generate(const std::string& sources)
    {
        std::string command = std::string(STALVANE_PYTHON) + " " STALVANE_ASN1_SOURCE_DIR "/gen/asn1gen.py --out " +
                              dir_ + "/out";
        std::istringstream names(sources);
        std::string name;
        while (names >> name)
            command += " " + dir_ + "/" + name;
        command += " >" + dir_ + "/log 2>&1";
        const int status = std::system(command.c_str());
        log = read("log");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir_;
    std::string log;
};

TEST_F(Generator, WritesClassesDescriptorsAndNameTables)
{
    write("A.asn", "A DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\n"
                   "IMPORTS Level FROM B;\n"
                   "Rec-item ::= SEQUENCE {  --! name Rec_item\n"
                   "    state-channel Level OPTIONAL,\n"
                   "    det-lvl INTEGER (0..7),  --! name det_lvl\n"
                   "    ...,\n"
                   "    late BOOLEAN\n"
                   "}\n"
                   "Pick ::= CHOICE { none NULL, item Rec-item, ... }\n"
                   "END\n");
    write("B.asn", "B DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\n"
                   "--! names low, high=4, top=4, max\n"
                   "Level ::= ENUMERATED { low(0), high(4), max(5), ... }\n"
                   "END\n");
    ASSERT_EQ(0, generate("A.asn B.asn")) << log;
    const std::string header = read("out/A.h");
    const std::string source = read("out/A.cpp");
    EXPECT_NE(std::string::npos, header.find("#include \"asn1/modules/B.h\""));
    EXPECT_NE(std::string::npos, header.find("class Rec_item : public ASN1::SEQUENCE {"));
    EXPECT_NE(std::string::npos, header.find("        e_state_channel = 0,\n        e_late = 1\n"));
    EXPECT_NE(std::string::npos, header.find("    void set_state_channel(B::Level::NamedNumber v);"));
    EXPECT_NE(std::string::npos, header.find("    void set_det_lvl(unsigned v);"));
    EXPECT_NE(std::string::npos, header.find("        none_chosen = 0,\n        item_chosen = 1\n"));
    EXPECT_NE(std::string::npos, header.find("inline void Pick::set_item(const Rec_item& v) { setSelection(item_chosen, v.clone()); }"));
    EXPECT_NE(std::string::npos, source.find("    {&Rec_item::create, 16}, true, Rec_item_fieldInfos, Rec_item_fieldIds,\n"
                                             "    2, 1, 1, nullptr, nullptr, Rec_item_fieldNames};"));
    EXPECT_NE(std::string::npos, source.find("const std::int32_t Rec_item_fieldIds[] = {0, -1};"));
    EXPECT_NE(std::string::npos, source.find("\"state-channel\", \"det_lvl\", \"late\""));
    EXPECT_NE(std::string::npos, source.find("{\"Rec_item\", &Rec_item::theInfo}"));

    const std::string levels = read("out/B.cpp");
    EXPECT_NE(std::string::npos, levels.find("\"low\", \"high=4\", \"top=4\", \"max\""));
    EXPECT_NE(std::string::npos, levels.find("{&Level::create, 10}, true, 5, Level_enum_names__, 4};"));
    EXPECT_NE(std::string::npos, read("out/B.h").find("        top = 4,\n        max = 5\n"));
    // Modules in import order.
    EXPECT_NE(std::string::npos, read("out/Modules.cpp").find("&B::moduleInfo, &A::moduleInfo"));
}

TEST_F(Generator, RefusesWhatItCannotBuild)
{
    write("names.asn", "N DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\n"
                       "--! names a, b=3\nE ::= ENUMERATED { a(0), b(2) }\nEND\n");
    EXPECT_EQ(1, generate("names.asn"));
    EXPECT_NE(std::string::npos, log.find("names.asn:4: names of E do not match its enumerators")) << log;

    write("unknown.asn", "U DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\nS ::= SEQUENCE { a Missing }\nEND\n");
    EXPECT_EQ(1, generate("unknown.asn"));
    EXPECT_NE(std::string::npos, log.find("unknown type Missing")) << log;

    write("syntax.asn", "Y DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\nS ::= SEQUENCE { a INTEGER\n b BOOLEAN }\nEND\n");
    EXPECT_EQ(1, generate("syntax.asn"));
    EXPECT_NE(std::string::npos, log.find("syntax.asn:4: \",\" or \"}\" expected")) << log;

    write("c1.asn", "C1 DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\nIMPORTS T2 FROM C2;\nT1 ::= SEQUENCE { a T2 }\nEND\n");
    write("c2.asn", "C2 DEFINITIONS AUTOMATIC TAGS ::=\nBEGIN\nIMPORTS T1 FROM C1;\nT2 ::= CHOICE { a T1, b NULL }\nEND\n");
    EXPECT_EQ(1, generate("c1.asn c2.asn"));
    EXPECT_NE(std::string::npos, log.find("import cycle")) << log;
}

} // namespace
