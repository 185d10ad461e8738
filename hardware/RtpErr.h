#pragma once
// The outcome of a failed RTP driver call: the errno of the moment it is built
// and a code of the caller's choosing.
#include <ostream>

class RtpErr {
public:
    explicit RtpErr(int code);

    // Writes the error text of the saved errno; the code is not written.
    void Put(std::ostream& os) const;

    int error() const { return error_; }
    int code() const { return code_; }

private:
    int error_;
    int code_;
};
