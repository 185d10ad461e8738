#include "runtime/IniFile.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <ostream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

#include "runtime/Fd.h"

namespace IniFile {

namespace {

// Appends `node` to a parent's chain.
template<class Node>
void linkLast(Node*& first, Node*& last, int& count, Node* node)
{
    node->prev = last;
    node->next = nullptr;
    if (last != nullptr)
        last->next = node;
    else
        first = node;
    last = node;
    ++count;
}

// The whole content of a regular file. A FIFO, a folder or a device is
// refused before anything is read (the open never waits for a writer), and
// so is a file whose reading fails.
bool readRegularFile(const std::string& name, std::string& text)
{
    Fd fd(openRegularFile(name.c_str(), O_RDONLY));
    if (!fd)
        return false;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            return false;
    }
}

// The node of that name; a new one is appended to the chain, so that names
// stay unique and an existing node is never shadowed.
template<class Node>
Node* findOrAppend(std::map<std::string, Node*>& map, Node*& first, Node*& last, int& count, const std::string& name)
{
    auto it = map.find(name);
    if (it != map.end())
        return it->second;
    Node* node = new Node(name);
    linkLast(first, last, count, node);
    map.emplace(name, node);
    return node;
}

template<class Node>
void deleteChain(Node*& first, Node*& last, int& count)
{
    Node* node = first;
    while (node != nullptr) {
        Node* next = node->next;
        delete node;
        node = next;
    }
    first = last = nullptr;
    count = 0;
}

template<class Node>
void dumpChain(const Node* node, std::ostream& os)
{
    for (; node != nullptr; node = node->next)
        node->Dump(os);
}

// A number as the default stream writes it.
template<class Number>
std::string asText(Number value)
{
    std::ostringstream os;
    os << value;
    return os.str();
}

enum ParserState {
    Outside,
    SectionName,
    AfterHeader,
    LineStart,
    KeyName,
    ValueStart,
    Value
};

} // namespace

// ---- SubKey

bool SubKey::GetBool(bool def) const
{
    static const struct {
        const char* word;
        bool value;
    } words[] = {
        {"true", true}, {"false", false}, {"yes", true}, {"no", false},
        {"1", true},    {"0", false},     {"on", true},  {"off", false},
    };
    for (const auto& w : words)
        if (mValue == w.word)
            return w.value;
    return def;
}

void SubKey::SetBool(bool value)
{
    mValue = value ? "yes" : "no";
}

int SubKey::GetInt(int def) const
{
    // strtoll accepts exactly what "%d" does (blanks, sign, decimal digits);
    // unlike sscanf it tells an out-of-range number apart.
    const char* text = mValue.c_str();
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || n < INT_MIN || n > INT_MAX)
        return def;
    return static_cast<int>(n);
}

void SubKey::SetInt(int value)
{
    mValue = asText(value);
}

float SubKey::GetFloat(float def) const
{
    const char* text = mValue.c_str();
    char* end = nullptr;
    errno = 0;
    float f = std::strtof(text, &end);
    if (end == text || (errno == ERANGE && std::isinf(f)))
        return def;
    return f;
}

void SubKey::SetFloat(float value)
{
    mValue = asText(value);
}

void SubKey::Dump(std::ostream& os) const
{
    os << "dumping IniFile::SubKey" << std::endl;
    os << "mValue=\"" << mValue << '"' << std::endl;
    os << "mLineNo=" << mLineNo << std::endl;
}

// ---- Key

SubKey* Key::NewSubKey(const std::string& value, int lineNo)
{
    SubKey* subKey = new SubKey(value, lineNo);
    linkLast(mFirst, mLast, mSubKeyCount, subKey);
    return subKey;
}

void Key::CleanSubKeys()
{
    deleteChain(mFirst, mLast, mSubKeyCount);
}

void Key::CheckEmpty()
{
    if (mSubKeyCount == 0)
        NewSubKey("", -1);
}

void Key::Dump(std::ostream& os) const
{
    os << "dumping IniFile::Key" << std::endl;
    os << "mName=\"" << mName << '"' << std::endl;
    os << "mSubKeyCount=" << mSubKeyCount << std::endl;
    dumpChain(mFirst, os);
}

// ---- SubSection

Key* SubSection::operator[](const std::string& name)
{
    return NewKey(name);
}

Key* SubSection::NewKey(const std::string& name)
{
    return findOrAppend(mMap, mFirst, mLast, mKeyCount, name);
}

SubKey* SubSection::NewSubKey(const std::string& name, const std::string& value, int lineNo)
{
    return (*this)[name]->NewSubKey(value, lineNo);
}

void SubSection::CleanKeys()
{
    deleteChain(mFirst, mLast, mKeyCount);
    mMap.clear();
}

void SubSection::Dump(std::ostream& os) const
{
    os << "dumping IniFile::SubSection" << std::endl;
    os << "mLineNo=\"" << mLineNo << '"' << std::endl;
    os << "mKeyCount=" << mKeyCount << std::endl;
    dumpChain(mFirst, os);
}

// ---- Section

SubSection* Section::NewSubSection(int lineNo)
{
    SubSection* sub = new SubSection(lineNo);
    linkLast(mFirst, mLast, mSubSectionCount, sub);
    return sub;
}

void Section::CleanSubSections()
{
    deleteChain(mFirst, mLast, mSubSectionCount);
}

void Section::CheckEmpty()
{
    if (mSubSectionCount == 0)
        NewSubSection(-1);
}

void Section::Dump(std::ostream& os) const
{
    os << "dumping IniFile::Section" << std::endl;
    os << "mName=\"" << mName << '"' << std::endl;
    os << "mSubSectionCount=" << mSubSectionCount << std::endl;
    dumpChain(mFirst, os);
}

// ---- File

File::File() = default;

File::File(const std::string& fileName)
{
    Open(fileName);
}

File::~File()
{
    Close();
}

bool File::Open(const std::string& fileName)
{
    Close();
    mFileName = fileName;
    return IntOpen();
}

bool File::IntOpen()
{
    std::string text;
    if (!readRegularFile(mFileName, text))
        return false;
    std::istringstream in(text);
    IntOpenStream(in);
    return mOpen;
}

void File::Close()
{
    CleanSections();
    mOpen = false;
}

Section* File::operator[](const std::string& name)
{
    return NewSection(name);
}

SubSection* File::NewSubSection(const std::string& name, int lineNo)
{
    return (*this)[name]->NewSubSection(lineNo);
}

Section* File::NewSection(const std::string& name)
{
    return findOrAppend(mMap, mFirst, mLast, mSectionCount, name);
}

void File::CleanSections()
{
    deleteChain(mFirst, mLast, mSectionCount);
    mMap.clear();
}

void File::Dump(std::ostream& os) const
{
    os << "dumping IniFile::File" << std::endl;
    os << "mFileName=\"" << mFileName << '"' << std::endl;
    os << std::endl;
    os << "mSectionCount=" << mSectionCount << std::endl;
    dumpChain(mFirst, os);
}

void File::IntOpenStream(std::istream& is)
{
    mOpen = true;

    ParserState state = Outside;
    bool comment = false;
    int spaces = 0;
    int lineNo = 1;
    SubSection* current = nullptr;
    std::string sectionName, keyName, value;

    std::istreambuf_iterator<char> it(is), end;
    for (; it != end; ++it) {
        const char c = *it;
        if (c == '\r')
            continue;
        if (comment) {
            if (c != '\n')
                continue;
            comment = false;
        }
        switch (state) {
        case Outside:
            if (c == '#')
                comment = true;
            else if (c == '[') {
                sectionName.clear();
                state = SectionName;
            }
            break;
        case SectionName:
            if (c == '\n')
                state = Outside;
            else if (c == ']') {
                current = NewSubSection(sectionName, lineNo);
                state = AfterHeader;
            } else
                sectionName += c;
            break;
        case AfterHeader:
            if (c == '\n')
                state = LineStart;
            else if (c == '#')
                comment = true;
            break;
        case LineStart:
            if (c == '#')
                comment = true;
            else if (c == '\t' || c == '\n' || c == ' ')
                ;
            else if (c == '[') {
                sectionName.clear();
                state = SectionName;
            } else {
                keyName.assign(1, c);
                spaces = 0;
                state = KeyName;
            }
            break;
        case KeyName:
            if (c == ' ')
                ++spaces;
            else if (c == '=') {
                value.clear();
                state = ValueStart;
            } else if (c == '\n') {
                keyName.clear();
                spaces = 0;
                state = LineStart;
            } else {
                keyName.append(spaces, ' ');
                keyName += c;
                spaces = 0;
            }
            break;
        case ValueStart:
            if (c == ' ')
                ;
            else if (c == '#')
                comment = true;
            else if (c == '\n') {
                current->NewSubKey(keyName, value, lineNo);
                keyName.clear();
                state = LineStart;
            } else {
                value += c;
                spaces = 0;
                state = Value;
            }
            break;
        case Value:
            if (c == ' ')
                ++spaces;
            else if (c == '\n') {
                current->NewSubKey(keyName, value, lineNo);
                keyName.clear();
                state = LineStart;
            } else if (c == '#' && spaces > 0) {
                comment = true;
                spaces = 0;
            } else {
                value.append(spaces, ' ');
                value += c;
                spaces = 0;
            }
            break;
        }
        if (c == '\n')
            ++lineNo;
    }
    if (state == ValueStart || state == Value)
        current->NewSubKey(keyName, value, lineNo);
}

std::istream& operator>>(std::istream& is, File& file)
{
    file.Close();
    file.mFileName = "";
    file.IntOpenStream(is);
    return is;
}

} // namespace IniFile
