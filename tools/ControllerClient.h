#pragma once
// A blocking controller for tests and operators: one TCP connection to a
// running daemon, LGCP::Message values coded in aligned PER and framed in
// TPKT (version 3, reserved 0, 16-bit big-endian length counting the 4-octet
// header), written and read in ASN.1 value notation.
//
// Nothing here runs on the daemon's event loop: every call blocks, bounded
// by the time-out it is given.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "asn1/modules/LGCP.h"

namespace Tools {

// Largest payload one TPKT frame carries.
const std::size_t MaxTpktPayload = 65531;

// Appends the frame of a payload to out; false (out unchanged) when the
// payload does not fit one frame.
bool frameTpkt(const char* data, std::size_t length, std::vector<char>& out);

// Looks for one whole frame at the start of input: its total length with the
// payload copied out, 0 while the frame is incomplete, -1 for a header that
// is not TPKT (version, reserved octet or a length below 4).
long cutTpkt(const char* input, std::size_t length, std::vector<char>& payload);

class ControllerClient {
public:
    enum Result {
        Received,   // a whole frame (and, for receive, a decoded message)
        TimedOut,
        Closed,     // the daemon closed the connection
        Undecodable,    // a whole frame whose payload is no message (payload() holds it)
        Failed      // read error or bad framing; the connection is of no further use
    };

    ControllerClient() = default;
    ~ControllerClient();
    ControllerClient(const ControllerClient&) = delete;
    ControllerClient& operator=(const ControllerClient&) = delete;

    // host: a name or a dotted address. Waits at most timeoutMs.
    bool connect(const std::string& host, std::uint16_t port, int timeoutMs);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Writes one frame whole. The payload need not be a message (tests send garbage).
    bool sendPayload(const char* data, std::size_t length);
    bool send(const LGCP::Message& msg);

    // The next frame's payload, waiting at most timeoutMs (-1: no limit).
    Result receivePayload(std::vector<char>& payload, int timeoutMs);
    // The next frame decoded; payload() holds the frame's octets.
    Result receive(LGCP::Message& msg, int timeoutMs);
    const std::vector<char>& payload() const { return payload_; }

    // What the last failure was, for the user.
    const std::string& error() const { return error_; }

private:
    bool failWithErrno(const char* what);

    int fd_ = -1;
    std::vector<char> input_;       // read but not yet framed
    std::vector<char> payload_;
    std::string error_;
};

// Builds a message from its text: a whole message ("{ seq 1, pdu command :
// ping : NULL }") as it is, or its pdu alone ("command : ping : NULL"), which
// gets seq and slot where they are given (non-null).
bool buildMessage(const std::string& text, const std::int32_t* seq, const std::uint32_t* slot, LGCP::Message& msg);

struct ControllerOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 20001;
    bool numbered = true;           // pdu-only messages get a seq
    std::int32_t firstSeq = 1;      // the next ones count up
    bool haveSlot = false;
    std::uint32_t slot = 0;
    int timeoutMs = 5000;           // for the connection and each answer
    int lingerMs = 0;               // after the last answer; -1 until the daemon closes
    std::vector<std::string> messages;
};

extern const char controllerUsage[];

// Cuts a text holding messages one after another (each a whole message or
// a pdu, as buildMessage takes them) into the text of each; false with the
// reason when one does not read.
bool splitMessages(const std::string& text, std::vector<std::string>& texts, std::string& error);
// Replaces the message "-" by the messages read from in (to its end).
bool expandStandardInput(ControllerOptions& options, std::istream& in, std::string& error);

// The command line (argv[0] is the program); false with the reason for a
// usage error. help is set for --help.
bool parseControllerArguments(int argc, const char* const* argv, ControllerOptions& options, bool& help,
                              std::string& error);

// Exit statuses of runController.
enum ControllerStatus {
    ControllerOk = 0,           // every message answered
    ControllerFailed = 1,       // no connection, a send failed or the daemon closed first
    ControllerUsage = 2,        // a message text does not read
    ControllerTimedOut = 3      // an answer did not come in time
};

// Connects, then sends each message and waits for its answer (a response
// with the same seq, or with no seq when the message had none), printing
// every message received on out in value notation, each followed by a line
// break; then goes on printing for the linger time. Errors go to err.
int runController(const ControllerOptions& options, std::ostream& out, std::ostream& err);

} // namespace Tools
