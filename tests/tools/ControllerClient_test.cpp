#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tools/ControllerClient.h"

using Tools::ControllerClient;

namespace {

std::vector<char> bytes(std::initializer_list<unsigned> list)
{
    std::vector<char> out;
    for (unsigned v : list)
        out.push_back(static_cast<char>(v));
    return out;
}

std::vector<char> per(const LGCP::Message& msg)
{
    ASN1::CoderEnv env;
    std::vector<char> out;
    EXPECT_TRUE(ASN1::encode(msg, &env, std::back_inserter(out)));
    return out;
}

std::vector<char> framed(const std::vector<char>& payload)
{
    std::vector<char> out;
    EXPECT_TRUE(Tools::frameTpkt(payload.data(), payload.size(), out));
    return out;
}

LGCP::Message decoded(const std::vector<char>& payload)
{
    LGCP::Message msg;
    ASN1::CoderEnv env;
    EXPECT_TRUE(ASN1::decode(payload.data(), payload.data() + payload.size(), &env, msg, true));
    return msg;
}

LGCP::Message message(const std::string& text)
{
    LGCP::Message msg;
    EXPECT_TRUE(msg.setFromValueNotation(text)) << text;
    return msg;
}

// A listening socket on a free loopback port standing in for the daemon.
// Its thread only moves bytes: the value model belongs to one thread, the
// controller's.
class FakeDaemon {
public:
    FakeDaemon()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr;
        std::memset(&addr, 0, sizeof addr);
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len), 0);
        EXPECT_EQ(::listen(listener_, 4), 0);
        EXPECT_EQ(::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len), 0);
        port_ = ntohs(addr.sin_port);
    }
    ~FakeDaemon()
    {
        closeConnection();
        ::close(listener_);
    }

    std::uint16_t port() const { return port_; }
    void accept() { conn_ = ::accept(listener_, nullptr, nullptr); ASSERT_GE(conn_, 0); }
    void closeConnection()
    {
        if (conn_ >= 0)
            ::close(conn_);
        conn_ = -1;
    }
    void write(const std::vector<char>& data)
    {
        ASSERT_EQ(::send(conn_, data.data(), data.size(), MSG_NOSIGNAL), static_cast<ssize_t>(data.size()));
    }
    // One whole frame's payload; false when the peer closed first.
    bool readFrame(std::vector<char>& payload)
    {
        for (;;) {
            const long cut = Tools::cutTpkt(input_.data(), input_.size(), payload);
            if (cut > 0) {
                input_.erase(input_.begin(), input_.begin() + cut);
                return true;
            }
            char chunk[512];
            const ssize_t n = ::read(conn_, chunk, sizeof chunk);
            if (cut < 0 || n <= 0)
                return false;
            input_.insert(input_.end(), chunk, chunk + n);
        }
    }

private:
    int listener_ = -1;
    int conn_ = -1;
    std::uint16_t port_ = 0;
    std::vector<char> input_;
};

const char* const pingAnswer = "{\n  seq 7,\n  pdu response : success : NULL\n}";

} // namespace

TEST(ControllerTpkt, FramesAndCuts)
{
    std::vector<char> out = bytes({0xEE});
    ASSERT_TRUE(Tools::frameTpkt("\x01\x02", 2, out));
    EXPECT_EQ(out, bytes({0xEE, 3, 0, 0, 6, 1, 2}));
    const std::vector<char> big(Tools::MaxTpktPayload + 1, 'x');
    EXPECT_FALSE(Tools::frameTpkt(big.data(), big.size(), out));
    EXPECT_EQ(out.size(), 7u);
    out.clear();
    ASSERT_TRUE(Tools::frameTpkt(big.data(), Tools::MaxTpktPayload, out));
    EXPECT_EQ(out[2], static_cast<char>(0xFF));
    EXPECT_EQ(out[3], static_cast<char>(0xFF));

    std::vector<char> payload;
    const std::vector<char> two = bytes({3, 0, 0, 5, 9, 3, 0, 0, 4});
    EXPECT_EQ(Tools::cutTpkt(two.data(), two.size(), payload), 5);
    EXPECT_EQ(payload, bytes({9}));
    EXPECT_EQ(Tools::cutTpkt(two.data() + 5, 4, payload), 4);
    EXPECT_TRUE(payload.empty());
    for (std::size_t n = 0; n < 5; ++n)
        EXPECT_EQ(Tools::cutTpkt(two.data(), n, payload), 0) << n;

    const std::vector<char> badVersion = bytes({2});
    const std::vector<char> badReserved = bytes({3, 1});
    const std::vector<char> tooShort = bytes({3, 0, 0, 3});
    EXPECT_EQ(Tools::cutTpkt(badVersion.data(), badVersion.size(), payload), -1);
    EXPECT_EQ(Tools::cutTpkt(badReserved.data(), badReserved.size(), payload), -1);
    EXPECT_EQ(Tools::cutTpkt(tooShort.data(), tooShort.size(), payload), -1);
}

TEST(ControllerClient, ExchangesFramedMessages)
{
    FakeDaemon daemon;
    ControllerClient client;
    EXPECT_FALSE(client.sendPayload("x", 1));
    ASSERT_TRUE(client.connect("127.0.0.1", daemon.port(), 2000)) << client.error();
    daemon.accept();

    const LGCP::Message ping = message("{ seq 7, pdu command : ping : NULL }");
    ASSERT_TRUE(client.send(ping));
    std::vector<char> payload;
    ASSERT_TRUE(daemon.readFrame(payload));
    EXPECT_EQ(payload, per(ping));

    // Frames split anywhere and joined in one chunk.
    const std::vector<char> answer = framed(per(message(pingAnswer)));
    const std::vector<char> signal = framed(per(message("{ slot 3, pdu signal : activated : NULL }")));
    daemon.write(std::vector<char>(answer.begin(), answer.begin() + 3));
    LGCP::Message got;
    EXPECT_EQ(client.receive(got, 0), ControllerClient::TimedOut);
    std::vector<char> rest(answer.begin() + 3, answer.end());
    rest.insert(rest.end(), signal.begin(), signal.end());
    daemon.write(rest);
    ASSERT_EQ(client.receive(got, 2000), ControllerClient::Received);
    EXPECT_EQ(got.asValueNotation(), pingAnswer);
    ASSERT_EQ(client.receive(got, 2000), ControllerClient::Received);
    EXPECT_EQ(got.get_slot().getValue(), 3u);

    // A frame that is no message leaves the connection usable.
    daemon.write(framed(bytes({0xFF})));
    daemon.write(framed(per(message(pingAnswer))));
    EXPECT_EQ(client.receive(got, 2000), ControllerClient::Undecodable);
    EXPECT_EQ(client.payload(), bytes({0xFF}));
    EXPECT_EQ(client.error(), "undecodable message: FF ");
    EXPECT_EQ(client.receive(got, 2000), ControllerClient::Received);

    daemon.write(bytes({3, 0, 0, 2}));
    EXPECT_EQ(client.receive(got, 2000), ControllerClient::Failed);
    EXPECT_EQ(client.error(), "bad TPKT header: 03 00 00 02 ");

    ControllerClient second;
    ASSERT_TRUE(second.connect("localhost", daemon.port(), 2000));
    daemon.closeConnection();
    daemon.accept();
    daemon.closeConnection();
    EXPECT_EQ(second.receive(got, 2000), ControllerClient::Closed);
}

TEST(ControllerClient, ConnectFailures)
{
    std::uint16_t freePort = 0;
    {
        FakeDaemon gone;
        freePort = gone.port();
    }
    ControllerClient client;
    EXPECT_FALSE(client.connect("127.0.0.1", freePort, 2000));
    EXPECT_EQ(client.error(), std::string("connect: ") + std::strerror(ECONNREFUSED));
    EXPECT_FALSE(client.isOpen());
}

TEST(ControllerCommandLine, MessagesAndOptions)
{
    LGCP::Message msg;
    const std::int32_t seq = -4;
    const std::uint32_t slot = 1024;
    ASSERT_TRUE(Tools::buildMessage("command : ping : NULL", &seq, &slot, msg));
    EXPECT_EQ(msg.asValueNotation(), "{\n  seq -4,\n  slot 1024,\n  pdu command : ping : NULL\n}");
    ASSERT_TRUE(Tools::buildMessage("  { pdu command : ping : NULL }", &seq, &slot, msg));
    EXPECT_FALSE(msg.has_seq());
    EXPECT_FALSE(msg.has_slot());
    EXPECT_FALSE(Tools::buildMessage("command : ping", nullptr, nullptr, msg));
    EXPECT_FALSE(Tools::buildMessage("command : ping : NULL x", nullptr, nullptr, msg));

    Tools::ControllerOptions options;
    bool help = true;
    std::string error;
    const char* const args[] = {"ctl", "--port", "4000", "--seq=9", "--slot", "12", "--no-seq",
                                "--timeout", "0", "--linger=-1", "--host", "h", "a", "--", "--b"};
    ASSERT_TRUE(Tools::parseControllerArguments(15, args, options, help, error)) << error;
    EXPECT_FALSE(help);
    EXPECT_EQ(options.port, 4000);
    EXPECT_EQ(options.firstSeq, 9);
    EXPECT_TRUE(options.haveSlot);
    EXPECT_EQ(options.slot, 12u);
    EXPECT_FALSE(options.numbered);
    EXPECT_EQ(options.timeoutMs, 0);
    EXPECT_EQ(options.lingerMs, -1);
    EXPECT_EQ(options.host, "h");
    EXPECT_EQ(options.messages, (std::vector<std::string>{"a", "--b"}));

    const struct {
        std::vector<const char*> args;
        const char* error;
    } bad[] = {
        {{"ctl", "--port", "0", "m"}, "bad value for --port: \"0\""},
        {{"ctl", "--port=65536", "m"}, "bad value for --port: \"65536\""},
        {{"ctl", "--seq", "2147483648", "m"}, "bad value for --seq: \"2147483648\""},
        {{"ctl", "--linger", "-2", "m"}, "bad value for --linger: \"-2\""},
        {{"ctl", "--timeout", "5x", "m"}, "bad value for --timeout: \"5x\""},
        {{"ctl", "m", "--slot"}, "--slot needs a value"},
        {{"ctl", "--help=1"}, "--help takes no value"},
        {{"ctl", "--verbose", "m"}, "unknown option --verbose"},
        {{"ctl", "m", "--verbose"}, "unknown option --verbose"},
        {{"ctl"}, "no message to send"},
    };
    for (const auto& c : bad) {
        Tools::ControllerOptions o;
        EXPECT_FALSE(Tools::parseControllerArguments(static_cast<int>(c.args.size()), c.args.data(), o, help, error));
        EXPECT_EQ(error, c.error);
    }
    // Messages from standard input, one after another.
    Tools::ControllerOptions piped;
    piped.messages = {"a", "-", "b", "-"};
    std::istringstream in("command:ping:NULL\n{ seq 3,\n  pdu command : ping : NULL\n}command : query : NULL  \n");
    ASSERT_TRUE(Tools::expandStandardInput(piped, in, error)) << error;
    EXPECT_EQ(piped.messages, (std::vector<std::string>{"a", "command:ping:NULL", "{ seq 3,\n  pdu command : ping : NULL\n}",
                                                         "command : query : NULL", "b"}));
    std::vector<std::string> texts;
    EXPECT_FALSE(Tools::splitMessages("command : ping : NULL\n  command : pong : NULL\nx", texts, error));
    EXPECT_EQ(error, "not a message: command : pong : NULL");

    const char* const helpArgs[] = {"ctl", "--help"};
    EXPECT_TRUE(Tools::parseControllerArguments(2, helpArgs, options, help, error));
    EXPECT_TRUE(help);
}

TEST(ControllerSession, PrintsAnswersAndSignals)
{
    FakeDaemon daemon;
    const std::vector<char> slotSignal = framed(per(message("{ slot 5, pdu signal : activated : NULL }")));
    // The answers carry the seq of the requests below.
    const std::vector<char> answers[2] = {framed(per(message("{ seq 41, pdu response : success : NULL }"))),
                                          framed(per(message("{ pdu response : success : NULL }")))};
    const std::vector<char> undecodable = framed(bytes({0xFF}));
    const std::vector<char> lastSignal = framed(per(message("{ pdu signal : activated : NULL }")));
    std::vector<std::vector<char>> requests;
    std::thread server([&] {
        daemon.accept();
        for (const std::vector<char>& answer : answers) {
            std::vector<char> payload;
            if (!daemon.readFrame(payload))
                break;
            requests.push_back(payload);
            // A signal first, then the answer.
            daemon.write(slotSignal);
            daemon.write(answer);
        }
        daemon.write(undecodable);
        daemon.write(lastSignal);
        daemon.closeConnection();
    });

    Tools::ControllerOptions options;
    options.port = daemon.port();
    options.firstSeq = 41;
    options.haveSlot = true;
    options.slot = 5;
    options.lingerMs = -1;
    options.messages = {"command : ping : NULL", "{ pdu command : ping : NULL }"};
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(Tools::runController(options, out, err), Tools::ControllerOk);
    server.join();

    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(decoded(requests[0]).asValueNotation(), "{\n  seq 41,\n  slot 5,\n  pdu command : ping : NULL\n}");
    EXPECT_EQ(decoded(requests[1]).asValueNotation(), "{\n  pdu command : ping : NULL\n}");
    const std::string signal = "{\n  slot 5,\n  pdu signal : activated : NULL\n}\n";
    EXPECT_EQ(out.str(), signal + "{\n  seq 41,\n  pdu response : success : NULL\n}\n" + signal +
                             "{\n  pdu response : success : NULL\n}\n{\n  pdu signal : activated : NULL\n}\n");
    EXPECT_EQ(err.str(), "stalvane-ctl: undecodable message: FF \n");
}

TEST(ControllerSession, FailureStatuses)
{
    Tools::ControllerOptions options;
    options.messages = {"command : pong : NULL"};
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(Tools::runController(options, out, err), Tools::ControllerUsage);
    EXPECT_EQ(err.str(), "stalvane-ctl: not a message: command : pong : NULL\n");

    FakeDaemon daemon;
    options.port = daemon.port();
    options.messages = {"command : ping : NULL"};
    options.timeoutMs = 20;
    // Silent daemon: the answer does not come in time.
    std::thread silent([&] {
        daemon.accept();
        std::vector<char> payload;
        daemon.readFrame(payload);
        daemon.readFrame(payload);     // until the controller gives up and closes
        daemon.closeConnection();
    });
    err.str("");
    EXPECT_EQ(Tools::runController(options, out, err), Tools::ControllerTimedOut);
    silent.join();
    EXPECT_EQ(err.str(), "stalvane-ctl: no answer within 20 ms to: command : ping : NULL\n");

    // The daemon closes before it answers.
    options.timeoutMs = 5000;
    std::thread closing([&] {
        daemon.accept();
        std::vector<char> payload;
        daemon.readFrame(payload);
        daemon.closeConnection();
    });
    err.str("");
    EXPECT_EQ(Tools::runController(options, out, err), Tools::ControllerFailed);
    closing.join();
    EXPECT_EQ(err.str(), "stalvane-ctl: connection closed by the daemon\n");
    EXPECT_EQ(out.str(), "");
}
