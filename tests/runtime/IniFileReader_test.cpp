#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "runtime/IniFileReader.h"

namespace {

enum class Addr { None = 0, Lemzgw = 1, Mesk = 2, LemzgwVq = 4 };

const IniFile::Symbol<Addr> addrSymbols[] = {
    {"lemzgw", Addr::Lemzgw},
    {"lemzgw.vq", Addr::LemzgwVq},
    {"mesk", Addr::Mesk},
    {nullptr, Addr::None},
};

struct ReaderTest : ::testing::Test {
    IniFile::SubSection* load(const std::string& text)
    {
        std::istringstream in(text);
        in >> file;
        return file["s"]->First();
    }

    IniFile::File file;
    std::ostringstream out;
    IniFile::Reader reader{"traces: ", out};
};

} // namespace

TEST_F(ReaderTest, RequiredAndOptionalKeysBind)
{
    IniFile::SubSection* sub = load("[s]\nflag=enabled\nname=\nmode=mesk\nextra=1\n");
    bool flag = false;
    std::string name = "old";
    Addr mode = Addr::None;
    bool& flagSeen = reader.required.add(&flag, "flag");
    bool& nameSeen = reader.required.add(&name, "name");
    bool& modeSeen = reader.optional.add(&mode, "mode", addrSymbols);
    EXPECT_FALSE(flagSeen);
    EXPECT_TRUE(reader.parse(*sub));
    EXPECT_TRUE(flagSeen && nameSeen && modeSeen);
    EXPECT_TRUE(flag);
    EXPECT_EQ(name, "");
    EXPECT_EQ(mode, Addr::Mesk);
    EXPECT_EQ(out.str(), "");
}

TEST_F(ReaderTest, BoolWordsOfTheBinder)
{
    const struct {
        const char* word;
        bool ok, value;
    } cases[] = {
        {"true", true, true},     {"false", true, false},    {"yes", true, true},
        {"no", true, false},      {"enabled", true, true},   {"disabled", true, false},
        {"enable", true, true},   {"disable", true, false},  {"1", true, true},
        {"0", true, false},       {"on", false, false},      {"off", false, false},
        {"True", false, false},   {"", false, false},
    };
    for (const auto& c : cases) {
        bool target = !c.value;
        IniFile::Private::TKeyValue<bool> bound(&target, "k", nullptr);
        EXPECT_EQ(bound.do_parse(c.word), c.ok) << c.word;
        if (c.ok)
            EXPECT_EQ(target, c.value) << c.word;
        else
            EXPECT_EQ(target, !c.value) << c.word;
    }
}

TEST_F(ReaderTest, EnumerationNamesAndNumbers)
{
    Addr target = Addr::Mesk;
    IniFile::Private::TKeyValue<Addr> kv(&target, "name", addrSymbols);
    EXPECT_TRUE(kv.do_parse("lemzgw.vq"));
    EXPECT_EQ(target, Addr::LemzgwVq);
    EXPECT_TRUE(kv.do_parse("0x1F"));
    EXPECT_EQ(static_cast<int>(target), 31);
    EXPECT_TRUE(kv.do_parse(" 0X10"));
    EXPECT_EQ(static_cast<int>(target), 16);
    EXPECT_TRUE(kv.do_parse("010"));
    EXPECT_EQ(static_cast<int>(target), 8);
    EXPECT_TRUE(kv.do_parse("-3"));
    EXPECT_EQ(static_cast<int>(target), -3);
    for (const char* bad : {"12ab", "", " ", "12 ", "0x", "LEMZGW", "99999999999999999999"})
        EXPECT_FALSE(kv.do_parse(bad)) << bad;
    EXPECT_EQ(static_cast<int>(target), -3);

    IniFile::Private::TKeyValue<Addr> noTable(&target, "name", nullptr);
    EXPECT_FALSE(noTable.do_parse("mesk"));
    EXPECT_TRUE(noTable.do_parse("2"));
    EXPECT_EQ(target, Addr::Mesk);
}

TEST_F(ReaderTest, RequiredKeyDiagnostics)
{
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"[s]\nk=maybe\n", "traces: required key \"k\" has invalid value=\"maybe\", line 2\n"},
        {"\n\n\n\n\n\n[s]\nother=1\n", "traces: required key \"k\" not present, line 7\n"},
        {"[s]\nk=1\nk=0\n",
         "traces: required key \"k\" is duplicated!\n"
         "traces:  first occurence at 2 line.\n"
         "traces:  second occurence at 3 line.\n"},
        {"[s]\n\nk=1\n\nk=1\n\n\n\nk=1\n",
         "traces: required key \"k\" specified more than once: 3 5 9 lines\n"},
    };
    for (const Case& c : cases) {
        IniFile::File f;
        std::istringstream in(c.text);
        in >> f;
        std::ostringstream os;
        IniFile::Reader r("traces: ", os);
        bool k = false, later = false, opt = false;
        r.required.add(&k, "k");
        bool& laterSeen = r.required.add(&later, "later");
        bool& optSeen = r.optional.add(&opt, "opt");
        optSeen = true;
        EXPECT_FALSE(r.parse(*f["s"]->First()));
        EXPECT_EQ(os.str(), c.message);
        // The first failure ends parse: later bindings are not evaluated.
        EXPECT_FALSE(laterSeen);
        EXPECT_TRUE(optSeen);
    }
}

TEST_F(ReaderTest, OptionalKeyDiagnosticsLeaveTargets)
{
    IniFile::SubSection* sub = load("[s]\nbad=on\ntwo=a\ntwo=b\nthree=1\n\nthree=1\n\n\nthree=1\n"
                                    "str=x\n");
    bool bad = true, three = false;
    std::string two = "keep", str;
    bool& badSeen = reader.optional.add(&bad, "bad");
    bool& twoSeen = reader.optional.add(&two, "two");
    bool& threeSeen = reader.optional.add(&three, "three");
    bool& absentSeen = reader.optional.add(&str, "absent");
    bool& strSeen = reader.optional.add(&str, "str");
    twoSeen = absentSeen = true;
    EXPECT_TRUE(reader.parse(*sub));
    EXPECT_EQ(out.str(),
              "traces: optional key \"bad\" has invalid value=\"on\", line 2. Key will be ignored.\n"
              "traces: optional key \"two\" is duplicated!\n"
              "traces:  first occurence at 3 line.\n"
              "traces:  second occurence at 4 line. Both keys will be ignored.\n"
              "traces: optional key \"three\" specified more than once: 5 7 10 lines. All keys "
              "will be ignored.\n");
    EXPECT_FALSE(badSeen || twoSeen || threeSeen || absentSeen);
    EXPECT_TRUE(strSeen);
    EXPECT_TRUE(bad);
    EXPECT_EQ(two, "keep");
    EXPECT_FALSE(three);
    EXPECT_EQ(str, "x");
    // Lookups of absent keys add empty Keys to the model.
    EXPECT_EQ((*sub)["absent"]->GetSubKeyCount(), 0);
    EXPECT_EQ(sub->GetKeyCount(), 5);
}
