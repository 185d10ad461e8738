#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/IniFile.h"
#include "support/TempRoot.h"

namespace {

void parse(IniFile::File& file, const std::string& text)
{
    std::istringstream in(text);
    in >> file;
}

// "value@line" of every occurrence of a key, in file order.
std::string occurrences(IniFile::SubSection* sub, const std::string& key)
{
    std::string out;
    for (const IniFile::SubKey& sk : *(*sub)[key])
        out += (out.empty() ? "" : "|") + sk.GetValue() + "@" + std::to_string(sk.GetLineNo());
    return out;
}

} // namespace

TEST(IniFileParser, EmptyAndCommentOnlyInputsOpenWithoutSections)
{
    IniFile::File file;
    parse(file, "");
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetSectionCount(), 0);
    parse(file, "# only [comments]\n  # x=1\nkey=ignored\n");
    EXPECT_EQ(file.GetSectionCount(), 0);
}

TEST(IniFileParser, RepeatedHeadersAndKeysKeepEveryOccurrence)
{
    IniFile::File file;
    parse(file, "k0=before\n[a]\nx = 1\nx=2\n[b]\n[a]\nx=3\n");
    ASSERT_EQ(file.GetSectionCount(), 2);
    IniFile::Section* a = file["a"];
    ASSERT_EQ(a->GetSubSectionCount(), 2);
    IniFile::SubSection* first = a->First();
    EXPECT_EQ(first->GetLineNo(), 2);
    EXPECT_EQ(occurrences(first, "x"), "1@3|2@4");
    EXPECT_EQ(first->next->GetLineNo(), 6);
    EXPECT_EQ(occurrences(first->next, "x"), "3@7");
    EXPECT_EQ(file.begin()->GetName(), "a");
    EXPECT_EQ((++file.begin())->GetName(), "b");
    // Names stay unique when nodes are added directly.
    EXPECT_EQ(file.NewSection("a"), a);
    EXPECT_EQ(first->NewKey("x"), (*first)["x"]);
    EXPECT_EQ(file.GetSectionCount(), 2);
    EXPECT_EQ(first->GetKeyCount(), 1);
}

TEST(IniFileParser, SpacesCommentsAndHashes)
{
    IniFile::File file;
    parse(file, "[s] # trailing\n"
                "  name  with  spaces   =   a  b   # note\n"
                "\tk\tt=\tv\t\n"
                "url=a#b\n"
                "url2=a #b\n"
                "x=# c\n"
                "#k=v\n"
                "ke#y = v=w\n");
    IniFile::SubSection* s = file["s"]->First();
    EXPECT_EQ(occurrences(s, "name  with  spaces"), "a  b@2");
    EXPECT_EQ(occurrences(s, "k\tt"), "\tv\t@3");
    EXPECT_EQ(occurrences(s, "url"), "a#b@4");
    EXPECT_EQ(occurrences(s, "url2"), "a@5");
    EXPECT_EQ(occurrences(s, "x"), "@6");
    EXPECT_EQ(occurrences(s, "ke#y"), "v=w@8");
    EXPECT_EQ(s->GetKeyCount(), 6);
}

TEST(IniFileParser, LinesWithoutEqualsOrBracketAreSkipped)
{
    IniFile::File file;
    parse(file, "[s]\na=1\ngarbage\n[t]\nb=2\n[broken\nc=3\n[ u ]x\nd=4\n");
    EXPECT_EQ(occurrences(file["s"]->First(), "a"), "1@2");
    EXPECT_EQ(file["s"]->First()->GetKeyCount(), 1);
    EXPECT_EQ(occurrences(file["t"]->First(), "b"), "2@5");
    EXPECT_EQ(file["t"]->First()->GetKeyCount(), 1);  // c belongs to the broken header
    EXPECT_EQ(occurrences(file[" u "]->First(), "d"), "4@9");
    EXPECT_EQ(file.GetSectionCount(), 3);
    EXPECT_EQ(file["u"]->GetSubSectionCount(), 0);
    EXPECT_EQ(file.GetSectionCount(), 4);
}

TEST(IniFileParser, CrLfAndEndOfInput)
{
    IniFile::File crlf, lf;
    parse(crlf, "[s]\r\na = 1\r\nb=x\ry\r\nk=v");
    parse(lf, "[s]\na = 1\nb=xy\nk=v\n");
    std::ostringstream d1, d2;
    crlf.Dump(d1);
    lf.Dump(d2);
    EXPECT_EQ(d1.str(), d2.str());
    EXPECT_EQ(occurrences(crlf["s"]->First(), "k"), "v@4");

    IniFile::File empty;
    parse(empty, "[s]\nk=");
    EXPECT_EQ(occurrences(empty["s"]->First(), "k"), "@2");
    parse(empty, "[s]\nk");
    EXPECT_EQ(empty["s"]->First()->GetKeyCount(), 0);
}

TEST(IniFileValues, TypedGettersAndSetters)
{
    IniFile::SubKey k("True", 1);
    EXPECT_FALSE(k.GetBool(false));
    for (const char* t : {"true", "yes", "1", "on"})
        EXPECT_TRUE(IniFile::SubKey(t, 1).GetBool(false)) << t;
    for (const char* f : {"false", "no", "0", "off"})
        EXPECT_FALSE(IniFile::SubKey(f, 1).GetBool(true)) << f;
    EXPECT_FALSE(IniFile::SubKey("enabled", 1).GetBool(false));

    EXPECT_EQ(IniFile::SubKey("12abc", 1).GetInt(5), 12);
    EXPECT_EQ(IniFile::SubKey("abc", 1).GetInt(5), 5);
    EXPECT_EQ(IniFile::SubKey("0x10", 1).GetInt(5), 0);
    EXPECT_EQ(IniFile::SubKey("  -42", 1).GetInt(5), -42);
    EXPECT_EQ(IniFile::SubKey("-2147483648", 1).GetInt(5), -2147483647 - 1);
    EXPECT_EQ(IniFile::SubKey("2147483648", 1).GetInt(5), 5);
    EXPECT_EQ(IniFile::SubKey("99999999999999999999", 1).GetInt(5), 5);

    EXPECT_FLOAT_EQ(IniFile::SubKey(" 2.5x", 1).GetFloat(1.0f), 2.5f);
    EXPECT_FLOAT_EQ(IniFile::SubKey("x", 1).GetFloat(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(IniFile::SubKey("1e60", 1).GetFloat(1.0f), 1.0f);

    k.SetBool(true);
    EXPECT_EQ(k.GetValue(), "yes");
    k.SetBool(false);
    EXPECT_EQ(k.GetValue(), "no");
    k.SetInt(-17);
    EXPECT_EQ(k.GetValue(), "-17");
    k.SetFloat(0.1f);
    EXPECT_EQ(k.GetValue(), "0.1");
    k.SetFloat(1234567.0f);
    EXPECT_EQ(k.GetValue(), "1.23457e+06");
}

TEST(IniFileModel, DumpShowsTreeInOrder)
{
    IniFile::File file;
    parse(file, "[a]\nk=v\n");
    file["b"]->CheckEmpty();
    (*file["a"]->First())["e"]->CheckEmpty();
    std::ostringstream os;
    file.Dump(os);
    EXPECT_EQ(os.str(),
              "dumping IniFile::File\nmFileName=\"\"\n\nmSectionCount=2\n"
              "dumping IniFile::Section\nmName=\"a\"\nmSubSectionCount=1\n"
              "dumping IniFile::SubSection\nmLineNo=\"1\"\nmKeyCount=2\n"
              "dumping IniFile::Key\nmName=\"k\"\nmSubKeyCount=1\n"
              "dumping IniFile::SubKey\nmValue=\"v\"\nmLineNo=2\n"
              "dumping IniFile::Key\nmName=\"e\"\nmSubKeyCount=1\n"
              "dumping IniFile::SubKey\nmValue=\"\"\nmLineNo=-1\n"
              "dumping IniFile::Section\nmName=\"b\"\nmSubSectionCount=1\n"
              "dumping IniFile::SubSection\nmLineNo=\"-1\"\nmKeyCount=0\n");
}

TEST(IniFileModel, IteratorWalksAndStopsAtEnd)
{
    IniFile::File file;
    parse(file, "[s]\nk=1\nk=2\nk=3\n");
    IniFile::Key* key = (*file["s"]->First())["k"];
    IniFile::Key::iterator it = key->begin();
    IniFile::Key::iterator old = it++;
    EXPECT_EQ(old->GetValue(), "1");
    EXPECT_EQ((*it).GetValue(), "2");
    ++it;
    ++it;
    EXPECT_FALSE(it != key->end());
    ++it;
    EXPECT_FALSE(it != key->end());
    EXPECT_EQ(key->Last()->prev->GetValue(), "2");
}

TEST(IniFileModel, OpenReplacesContentAndCloseEmpties)
{
    char dir[] = "/tmp/inifileXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/server.conf";
    std::ofstream(path) << "[traces]\ncontrol=yes\n";

    IniFile::File file(path);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetFileName(), path);
    EXPECT_EQ(file.GetSectionCount(), 1);
    EXPECT_FALSE(file.Open(path + ".missing"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetSectionCount(), 0);

    // A lookup on a closed file adds a section; Close removes it too.
    file["x"];
    file.Close();
    EXPECT_EQ(file.GetSectionCount(), 0);
    EXPECT_EQ(file.begin(), file.end());

    std::remove(path.c_str());
    rmdir(dir);
}

TEST(IniFileModel, WhatIsNoRegularFileOrFailsWhileReadDoesNotOpen)
{
    test::TempRoot root({"folder"});
    const std::string fifo = root.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO without writer would block for ever; reading a process's own
    // memory at offset 0 fails.
    for (const std::string& path : {root.path + "/folder", fifo, std::string("/dev/null"), std::string("/proc/self/mem")}) {
        IniFile::File file;
        EXPECT_FALSE(file.Open(path)) << path;
        EXPECT_FALSE(file.IsOpen()) << path;
        EXPECT_EQ(file.GetSectionCount(), 0) << path;
    }
}
