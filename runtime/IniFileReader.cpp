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
        if (!check(sub, *kv, true))
            return false;
    for (auto& kv : optional.mValues)
        check(sub, *kv, false);
    return true;
}

bool Reader::check(SubSection& sub, Private::KeyValue& kv, bool isRequired)
{
    // An optional key is only reported, with what becomes of it; a missing
    // one is no fault.
    const char* const kind = isRequired ? "required key " : "optional key ";
    Key* key = sub[kv.name()];
    kv.parsed = false;
    switch (key->GetSubKeyCount()) {
    case 0:
        if (isRequired)
            mOs << mPrefix << kind << Q << kv.name() << Q << " not present, line " << sub.GetLineNo() << std::endl;
        return !isRequired;
    case 1: {
        SubKey* sk = key->First();
        kv.parsed = kv.do_parse(sk->GetValue().c_str());
        if (!kv.parsed)
            mOs << mPrefix << kind << Q << kv.name() << Q << " has invalid value=" << Q << sk->GetValue() << Q
                << ", line " << sk->GetLineNo() << (isRequired ? "" : ". Key will be ignored.") << std::endl;
        return kv.parsed || !isRequired;
    }
    case 2:
        mOs << mPrefix << kind << Q << kv.name() << Q << " is duplicated!" << std::endl
            << mPrefix << " first occurence at " << key->First()->GetLineNo() << " line." << std::endl
            << mPrefix << " second occurence at " << key->Last()->GetLineNo() << " line."
            << (isRequired ? "" : " Both keys will be ignored.") << std::endl;
        return !isRequired;
    default:
        mOs << mPrefix << kind << Q << kv.name() << Q << " specified more than once:";
        for (const SubKey& sk : *key)
            mOs << ' ' << sk.GetLineNo();
        mOs << " lines" << (isRequired ? "" : ". All keys will be ignored.") << std::endl;
        return !isRequired;
    }
}

} // namespace IniFile
