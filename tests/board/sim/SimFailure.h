#pragma once
// Checks of board calls that must fail: -1 and the errno they leave.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

// The arguments are evaluated before errno is read.
inline testing::AssertionResult failsWith(long result, int expected)
{
    int error = errno;
    if (result == -1 && error == expected)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "result " << result << " errno \"" << std::strerror(error)
                                       << "\", wanted -1 and \"" << std::strerror(expected) << "\"";
}
