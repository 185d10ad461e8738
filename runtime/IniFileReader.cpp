#include "runtime/IniFileReader.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace IniFile {

namespace Private {

bool parseBool(const char* value, bool& out)
{
    static const struct {
        const char* word;
        bool value;
    } words[] = {
        {"true", true},       {"false", false},       {"yes", true},    {"no", false},
        {"enabled", true},    {"disabled", false},    {"enable", true}, {"disable", false},
        {"1", true},          {"0", false},
    };
    for (const auto& w : words) {
        if (std::strcmp(w.word, value) == 0) {
            out = w.value;
            return true;
        }
    }
    return false;
}

bool parseNumber(const char* value, long long& out)
{
    if (*value == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(value, &end, 0);
    if (end == value || *end != '\0' || errno == ERANGE)
        return false;
    out = n;
    return true;
}

} // namespace Private

namespace {

const char Q = '"';

} // namespace

bool Reader::parse(SubSection& sub)
{
    for (auto& kv : required.mValues)
        if (!parseRequired(sub, *kv))
            return false;
    for (auto& kv : optional.mValues)
        parseOptional(sub, *kv);
    return true;
}

bool Reader::parseRequired(SubSection& sub, Private::KeyValue& kv)
{
    Key* key = sub[kv.name()];
    const int count = key->GetSubKeyCount();
    if (count == 1) {
        SubKey* sk = key->First();
        kv.parsed = kv.do_parse(sk->GetValue().c_str());
        if (kv.parsed)
            return true;
        mOs << mPrefix << "required key " << Q << kv.name() << Q << " has invalid value=" << Q
            << sk->GetValue() << Q << "," << " line " << sk->GetLineNo() << std::endl;
        return false;
    }
    if (count == 0) {
        mOs << mPrefix << "required key " << Q << kv.name() << Q << " not present, line "
            << sub.GetLineNo() << std::endl;
        return false;
    }
    if (count == 2) {
        mOs << mPrefix << "required key " << Q << kv.name() << Q << " is duplicated!" << std::endl;
        mOs << mPrefix << " first occurence at " << key->First()->GetLineNo() << " line."
            << std::endl;
        mOs << mPrefix << " second occurence at " << key->Last()->GetLineNo() << " line."
            << std::endl;
        return false;
    }
    mOs << mPrefix << "required key " << Q << kv.name() << Q << " specified more than once:";
    for (const SubKey& sk : *key)
        mOs << ' ' << sk.GetLineNo();
    mOs << " lines" << std::endl;
    return false;
}

void Reader::parseOptional(SubSection& sub, Private::KeyValue& kv)
{
    Key* key = sub[kv.name()];
    kv.parsed = false;
    const int count = key->GetSubKeyCount();
    if (count == 0)
        return;
    if (count == 1) {
        SubKey* sk = key->First();
        kv.parsed = kv.do_parse(sk->GetValue().c_str());
        if (!kv.parsed)
            mOs << mPrefix << "optional key " << Q << kv.name() << Q << " has invalid value=" << Q
                << sk->GetValue() << Q << "," << " line " << sk->GetLineNo()
                << ". Key will be ignored." << std::endl;
        return;
    }
    if (count == 2) {
        mOs << mPrefix << "optional key " << Q << kv.name() << Q << " is duplicated!" << std::endl;
        mOs << mPrefix << " first occurence at " << key->First()->GetLineNo() << " line."
            << std::endl;
        mOs << mPrefix << " second occurence at " << key->Last()->GetLineNo()
            << " line. Both keys will be ignored." << std::endl;
        return;
    }
    mOs << mPrefix << "optional key " << Q << kv.name() << Q << " specified more than once:";
    for (const SubKey& sk : *key)
        mOs << ' ' << sk.GetLineNo();
    mOs << " lines." << " All keys will be ignored." << std::endl;
}

} // namespace IniFile
