#include "tools/ControllerClient.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <istream>
#include <iterator>
#include <ostream>
#include <sstream>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Tools {
namespace {

typedef std::chrono::steady_clock Clock;

// Milliseconds left until deadline for poll: -1 without a limit, never below 0.
int remainingMs(bool limited, Clock::time_point deadline)
{
    if (!limited)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

Clock::time_point deadlineAfter(int ms)
{
    return Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
}

std::string hexText(const std::vector<char>& octets)
{
    std::string text;
    char pair[4];
    for (char c : octets) {
        std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned>(static_cast<unsigned char>(c)));
        text += pair;
    }
    return text;
}

bool answers(const LGCP::Message& sent, const LGCP::Message& got)
{
    if (got.get_pdu().currentSelection() != LGCP::PDU::response_chosen || sent.has_seq() != got.has_seq())
        return false;
    return !sent.has_seq() || sent.get_seq().getValue() == got.get_seq().getValue();
}

// A whole decimal number in [low, high].
bool number(const std::string& text, long long low, long long high, long long& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high)
        return false;
    out = value;
    return true;
}

// A whole message starts with its brace; a pdu with its alternative name.
bool wholeMessage(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string::npos && text[first] == '{';
}

} // namespace

bool frameTpkt(const char* data, std::size_t length, std::vector<char>& out)
{
    if (length > MaxTpktPayload)
        return false;
    const std::size_t total = length + 4;
    out.reserve(out.size() + total);
    out.push_back(3);
    out.push_back(0);
    out.push_back(static_cast<char>((total >> 8) & 0xFF));
    out.push_back(static_cast<char>(total & 0xFF));
    out.insert(out.end(), data, data + length);
    return true;
}

long cutTpkt(const char* input, std::size_t length, std::vector<char>& payload)
{
    if (length >= 1 && input[0] != 3)
        return -1;
    if (length >= 2 && input[1] != 0)
        return -1;
    if (length < 4)
        return 0;
    const std::size_t total = static_cast<std::size_t>(static_cast<unsigned char>(input[2])) << 8
                              | static_cast<unsigned char>(input[3]);
    if (total < 4)
        return -1;
    if (length < total)
        return 0;
    payload.assign(input + 4, input + total);
    return static_cast<long>(total);
}

// ---- ControllerClient ----

ControllerClient::~ControllerClient()
{
    close();
}

bool ControllerClient::failWithErrno(const char* what)
{
    error_ = std::string(what) + ": " + std::strerror(errno);
    return false;
}

bool ControllerClient::connect(const std::string& host, std::uint16_t port, int timeoutMs)
{
    close();
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        error_ = host + ": " + ::gai_strerror(rc);
        return false;
    }
    const Clock::time_point deadline = deadlineAfter(timeoutMs);
    for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
        // Non-blocking while connecting, so that the time-out holds.
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            failWithErrno("socket");
            continue;
        }
        bool ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!ok && errno == EINPROGRESS) {
            pollfd p = {fd, POLLOUT, 0};
            int ready;
            do {
                ready = ::poll(&p, 1, remainingMs(timeoutMs >= 0, deadline));
            } while (ready < 0 && errno == EINTR);
            int soError = 0;
            socklen_t len = sizeof soError;
            if (ready == 0) {
                error_ = "connect: timed out";
            } else if (ready < 0) {
                failWithErrno("poll");
            } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0) {
                failWithErrno("getsockopt");
            } else if (soError != 0) {
                errno = soError;
                failWithErrno("connect");
            } else {
                ok = true;
            }
        } else if (!ok) {
            failWithErrno("connect");
        }
        if (ok && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) {
            fd_ = fd;
        } else {
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    if (fd_ >= 0)
        error_.clear();
    return fd_ >= 0;
}

void ControllerClient::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    input_.clear();
}

bool ControllerClient::sendPayload(const char* data, std::size_t length)
{
    if (fd_ < 0) {
        error_ = "not connected";
        return false;
    }
    std::vector<char> frame;
    if (!frameTpkt(data, length, frame)) {
        error_ = "message of " + std::to_string(length) + " octets does not fit one frame";
        return false;
    }
    std::size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = ::send(fd_, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failWithErrno("send");
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ControllerClient::send(const LGCP::Message& msg)
{
    ASN1::CoderEnv env;
    std::vector<char> octets;
    if (!ASN1::encode(msg, &env, std::back_inserter(octets))) {
        error_ = "the message does not encode";
        return false;
    }
    return sendPayload(octets.data(), octets.size());
}

ControllerClient::Result ControllerClient::receivePayload(std::vector<char>& payload, int timeoutMs)
{
    const Clock::time_point deadline = deadlineAfter(timeoutMs);
    for (;;) {
        const long cut = cutTpkt(input_.data(), input_.size(), payload);
        if (cut > 0) {
            input_.erase(input_.begin(), input_.begin() + cut);
            return Received;
        }
        if (cut < 0) {
            error_ = "bad TPKT header: " + hexText(std::vector<char>(input_.begin(), input_.begin() + std::min<std::size_t>(4, input_.size())));
            return Failed;
        }
        if (fd_ < 0) {
            error_ = "not connected";
            return Failed;
        }
        pollfd p = {fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, remainingMs(timeoutMs >= 0, deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            failWithErrno("poll");
            return Failed;
        }
        if (ready == 0)
            return TimedOut;
        char chunk[4096];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failWithErrno("read");
            return Failed;
        }
        if (n == 0) {
            error_ = "connection closed by the daemon";
            return Closed;
        }
        input_.insert(input_.end(), chunk, chunk + n);
    }
}

ControllerClient::Result ControllerClient::receive(LGCP::Message& msg, int timeoutMs)
{
    const Result result = receivePayload(payload_, timeoutMs);
    if (result != Received)
        return result;
    ASN1::CoderEnv env;
    LGCP::Message decoded;
    const char* begin = payload_.data();
    if (!ASN1::decode(begin, begin + payload_.size(), &env, decoded, true)) {
        error_ = "undecodable message: " + hexText(payload_);
        return Undecodable;
    }
    msg = decoded;
    return Received;
}

// ---- the command line ----

bool buildMessage(const std::string& text, const std::int32_t* seq, const std::uint32_t* slot, LGCP::Message& msg)
{
    if (wholeMessage(text))
        return msg.setFromValueNotation(text);
    LGCP::Message built;
    if (!built.get_pdu().setFromValueNotation(text))
        return false;
    if (seq != nullptr)
        built.include_seq().setValue(*seq);
    if (slot != nullptr)
        built.include_slot() = *slot;
    msg = built;
    return true;
}

const char controllerUsage[] =
    "usage: stalvane-ctl [options] MESSAGE...\n"
    "Sends each MESSAGE to the daemon, waits for its answer and prints every\n"
    "message received, all in ASN.1 value notation. A MESSAGE is a whole\n"
    "LGCP message (\"{ seq 1, slot 3, pdu command : ping : NULL }\") or its pdu\n"
    "alone (\"command : ping : NULL\"), which gets the next seq and the slot.\n"
    "  --host HOST     daemon address (127.0.0.1)\n"
    "  --port PORT     daemon port (20001)\n"
    "  --seq N         seq of the first pdu; the next ones count up (1)\n"
    "  --no-seq        send pdus without seq\n"
    "  --slot N        slot of every pdu (none)\n"
    "  --timeout MS    wait at most MS milliseconds to connect and for each answer (5000)\n"
    "  --linger MS     after the last answer print what comes for MS milliseconds;\n"
    "                  -1: until the daemon closes the connection (0)\n"
    "  --help          this text\n"
    "A MESSAGE \"-\" stands for the messages read from standard input, one after\n"
    "another.\n"
    "Exit status: 0 all answered, 1 connection failed or closed, 2 usage,\n"
    "3 an answer did not come in time.\n";

bool splitMessages(const std::string& text, std::vector<std::string>& texts, std::string& error)
{
    std::istringstream in(text);
    for (;;) {
        in >> std::ws;
        if (in.eof())
            return true;
        const std::size_t start = static_cast<std::size_t>(in.tellg());
        bool ok;
        if (in.peek() == '{') {
            LGCP::Message msg;
            ok = !(in >> msg).fail();
        } else {
            LGCP::PDU pdu;
            ok = !(in >> pdu).fail();
        }
        if (!ok) {
            const std::size_t lineEnd = text.find('\n', start);
            error = "not a message: " + text.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
            return false;
        }
        const std::size_t end = in.eof() ? text.size() : static_cast<std::size_t>(in.tellg());
        texts.push_back(text.substr(start, end - start));
    }
}

bool expandStandardInput(ControllerOptions& options, std::istream& in, std::string& error)
{
    std::vector<std::string> expanded;
    bool read = false;
    for (const std::string& text : options.messages) {
        if (text != "-") {
            expanded.push_back(text);
            continue;
        }
        if (read)
            continue;   // standard input is read once
        read = true;
        const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!splitMessages(all, expanded, error))
            return false;
    }
    options.messages.swap(expanded);
    return true;
}

bool parseControllerArguments(int argc, const char* const* argv, ControllerOptions& options, bool& help,
                              std::string& error)
{
    help = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            options.messages.push_back(arg);
            continue;
        }
        if (arg == "--") {
            for (++i; i < argc; ++i)
                options.messages.push_back(argv[i]);
            break;
        }
        std::string value;
        bool hasValue = false;
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.erase(equals);
            hasValue = true;
        }
        if (arg == "--help" || arg == "--no-seq") {
            if (hasValue) {
                error = arg + " takes no value";
                return false;
            }
            if (arg == "--help")
                help = true;
            else
                options.numbered = false;
            continue;
        }
        if (arg != "--host" && arg != "--port" && arg != "--seq" && arg != "--slot" && arg != "--timeout"
            && arg != "--linger") {
            error = "unknown option " + arg;
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        long long n = 0;
        if (arg == "--host" && !value.empty()) {
            options.host = value;
        } else if (arg == "--port" && number(value, 1, 65535, n)) {
            options.port = static_cast<std::uint16_t>(n);
        } else if (arg == "--seq" && number(value, -2147483647LL - 1, 2147483647, n)) {
            options.firstSeq = static_cast<std::int32_t>(n);
        } else if (arg == "--slot" && number(value, 0, 4294967295LL, n)) {
            options.haveSlot = true;
            options.slot = static_cast<std::uint32_t>(n);
        } else if (arg == "--timeout" && number(value, 0, 2147483647, n)) {
            options.timeoutMs = static_cast<int>(n);
        } else if (arg == "--linger" && number(value, -1, 2147483647, n)) {
            options.lingerMs = static_cast<int>(n);
        } else {
            error = "bad value for " + arg + ": \"" + value + "\"";
            return false;
        }
    }
    if (!help && options.messages.empty()) {
        error = "no message to send";
        return false;
    }
    return true;
}

int runController(const ControllerOptions& options, std::ostream& out, std::ostream& err)
{
    // Every text must read before anything is sent.
    std::vector<LGCP::Message> messages(options.messages.size());
    std::int32_t seq = options.firstSeq;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::int32_t thisSeq = seq;
        if (!buildMessage(options.messages[i], options.numbered ? &thisSeq : nullptr,
                          options.haveSlot ? &options.slot : nullptr, messages[i])) {
            err << "stalvane-ctl: not a message: " << options.messages[i] << std::endl;
            return ControllerUsage;
        }
        if (!wholeMessage(options.messages[i]))
            seq = static_cast<std::int32_t>(static_cast<std::uint32_t>(seq) + 1);
    }

    ControllerClient client;
    if (!client.connect(options.host, options.port, options.timeoutMs)) {
        err << "stalvane-ctl: cannot connect to " << options.host << ":" << options.port << ": " << client.error()
            << std::endl;
        return ControllerFailed;
    }

    LGCP::Message received;
    auto print = [&](ControllerClient::Result result) {
        // A message the printer cannot finish (an unknown alternative) shows
        // up to that point, and out stays usable.
        if (result == ControllerClient::Received)
            out << received.asValueNotation() << std::endl;
        else if (result == ControllerClient::Undecodable)
            err << "stalvane-ctl: " << client.error() << std::endl;
    };
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (!client.send(messages[i])) {
            err << "stalvane-ctl: send failed: " << client.error() << std::endl;
            return ControllerFailed;
        }
        const Clock::time_point deadline = deadlineAfter(options.timeoutMs);
        for (;;) {
            const ControllerClient::Result result = client.receive(received, remainingMs(true, deadline));
            print(result);
            if (result == ControllerClient::Received && answers(messages[i], received))
                break;
            if (result == ControllerClient::TimedOut) {
                err << "stalvane-ctl: no answer within " << options.timeoutMs << " ms to: " << options.messages[i]
                    << std::endl;
                return ControllerTimedOut;
            }
            if (result == ControllerClient::Closed || result == ControllerClient::Failed) {
                err << "stalvane-ctl: " << client.error() << std::endl;
                return ControllerFailed;
            }
        }
    }

    if (options.lingerMs != 0) {
        const Clock::time_point deadline = deadlineAfter(options.lingerMs);
        for (;;) {
            const ControllerClient::Result result = client.receive(received, remainingMs(options.lingerMs >= 0, deadline));
            print(result);
            if (result == ControllerClient::Failed) {
                err << "stalvane-ctl: " << client.error() << std::endl;
                return ControllerFailed;
            }
            if (result == ControllerClient::TimedOut || result == ControllerClient::Closed)
                break;
        }
    }
    return ControllerOk;
}

} // namespace Tools
