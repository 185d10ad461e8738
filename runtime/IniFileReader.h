#pragma once
// Binds the keys of one IniFile::SubSection to program variables, checks that
// each occurs the right number of times with a value of the right form, and
// writes the diagnostics (each line starts with the reader's prefix).
//
//   IniFile::Reader reader("traces: ", std::cerr);
//   bool& seen = reader.optional.add(&flag, "control");
//   reader.required.add(&mode, "mode", modeSymbols);
//   if (!reader.parse(*sub)) ...
//
// Targets and key names are not owned: key names are expected to be literals.
#include <cstring>
#include <list>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>

#include "runtime/IniFile.h"

namespace IniFile {

// One row of an enumeration's name table; a table ends with a null name.
template<class T>
struct Symbol {
    const char* name;
    T value;
};

namespace Private {

class KeyValue {
public:
    virtual ~KeyValue() = default;
    virtual const char* name() const = 0;
    // True when the value was accepted and stored in the target.
    virtual bool do_parse(const char* value) = 0;

    bool parsed = false;
};

bool parseBool(const char* value, bool& out);
// Optional blanks and sign, then digits in base 0/0x/decimal, nothing after.
bool parseNumber(const char* value, long long& out);

template<class T>
class TKeyValue : public KeyValue {
public:
    TKeyValue(T* target, const char* key, const Symbol<T>* symbols)
        : mTarget(target), mName(key), mSymbols(symbols)
    {}

    const char* name() const override { return mName; }

    bool do_parse(const char* value) override
    {
        static_assert(std::is_enum<T>::value, "bool, std::string or an enumeration");
        if (mSymbols != nullptr) {
            for (const Symbol<T>* row = mSymbols; row->name != nullptr; ++row) {
                if (std::strcmp(row->name, value) == 0) {
                    *mTarget = row->value;
                    return true;
                }
            }
        }
        long long n;
        if (!parseNumber(value, n))
            return false;
        *mTarget = static_cast<T>(n);
        return true;
    }

private:
    T* mTarget;
    const char* mName;
    const Symbol<T>* mSymbols;
};

template<>
class TKeyValue<bool> : public KeyValue {
public:
    TKeyValue(bool* target, const char* key, const Symbol<bool>*) : mTarget(target), mName(key) {}
    const char* name() const override { return mName; }
    bool do_parse(const char* value) override { return parseBool(value, *mTarget); }

private:
    bool* mTarget;
    const char* mName;
};

template<>
class TKeyValue<std::string> : public KeyValue {
public:
    TKeyValue(std::string* target, const char* key, const Symbol<std::string>*)
        : mTarget(target), mName(key)
    {}
    const char* name() const override { return mName; }
    bool do_parse(const char* value) override
    {
        *mTarget = value;
        return true;
    }

private:
    std::string* mTarget;
    const char* mName;
};

} // namespace Private

class Reader {
public:
    class Field {
    public:
        // Binds `key` to `*target`; the returned flag tells after parse()
        // whether the key was found once with a valid value.
        template<class T>
        bool& add(T* target, const char* key, const Symbol<T>* symbols = nullptr)
        {
            mValues.emplace_back(new Private::TKeyValue<T>(target, key, symbols));
            return mValues.back()->parsed;
        }

    private:
        friend class Reader;
        std::list<std::unique_ptr<Private::KeyValue>> mValues;
    };

    Reader(const std::string& prefix, std::ostream& os) : mPrefix(prefix), mOs(os) {}

    // False (with a diagnostic) at the first required key that is missing,
    // repeated or invalid; optional keys are then left untouched.
    // Looking keys up adds empty Keys to `sub`.
    bool parse(SubSection& sub);

    Field required;
    Field optional;

private:
    // Checks one binding and reports what is wrong with it; false when a
    // required key is missing, repeated or invalid.
    bool check(SubSection& sub, Private::KeyValue& kv, bool isRequired);

    std::string mPrefix;
    std::ostream& mOs;
};

} // namespace IniFile
