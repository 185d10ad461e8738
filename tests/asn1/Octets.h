#pragma once
// Byte helpers for the coder tests.
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "asn1/ASN1.h"

inline std::vector<char> octets(std::initializer_list<unsigned> list)
{
    std::vector<char> out;
    for (unsigned v : list)
        out.push_back(static_cast<char>(v));
    return out;
}

// "C0 01 ..." so that failures show the bytes.
inline std::string hex(const std::vector<char>& bytes)
{
    std::string text;
    char buf[4];
    for (char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned>(static_cast<unsigned char>(c)));
        text += buf;
    }
    return text;
}

// Through the entry point in the given rule (aligned PER by default);
// empty with ok false on failure.
inline std::vector<char> per(const ASN1::AbstractData& value, bool* ok = nullptr,
                             std::int32_t rule = ASN1::CoderEnv::per_encoding)
{
    ASN1::CoderEnv env(rule);
    std::vector<char> out;
    const bool result = ASN1::encode(value, &env, std::back_inserter(out));
    if (ok != nullptr)
        *ok = result;
    return out;
}

// Decodes from a buffer of exactly the input's size, so that the sanitizer
// sees any read past its end.
inline bool unper(const std::vector<char>& input, ASN1::AbstractData& value, bool defer = true,
                  std::int32_t rule = ASN1::CoderEnv::per_encoding)
{
    std::vector<char> exact(input);
    exact.shrink_to_fit();
    ASN1::CoderEnv env(rule);
    const char* begin = exact.empty() ? nullptr : exact.data();
    return ASN1::decode(begin, begin + exact.size(), &env, value, defer);
}
