// Aligned PER throughput.
//
// The three control messages of bench/erl_codec.escript (a ping, a create
// trunk and a query signal with resources): encodes (into one reserved
// vector, as the control server does), decodes into a fresh message, decodes
// into a message kept from one decode to the next (as the control server
// does), and both (encode and fresh decode) per second. Where erlc and escript are installed, the same
// run then compiles the message modules for Erlang/OTP's aligned-PER coder
// (as the cross-check test does) and prints its rates beside ours, with the
// ratios ours/Erlang. Both sides give the best of several runs.
//
// Then the example module of the runtime tests: encode, decode and print.
//
//     bench_asn1 [--no-erlang]
//     bench_asn1 --count encode|decode|kept MESSAGE N
//
// --count runs only N operations of one kind on one message, untimed: for
// counting instructions (callgrind) or allocations per operation from the
// difference of two counts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "asn1/ASN1.h"
#include "asn1/modules/CrossCheckConfig.h"
#include "asn1/modules/LGCP.h"
#include "tests/asn1/TestSchema.cpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Calls per second of step: the best of five runs of a tenth of a second
// (the machine may be shared; the best run is the least disturbed).
template <class Step>
double perSecond(Step step)
{
    double best = 0;
    for (int run = 0; run < 5; ++run) {
        const Clock::time_point start = Clock::now();
        unsigned long calls = 0;
        do {
            for (int i = 0; i < 10000; ++i)
                step();
            calls += 10000;
        } while (seconds(Clock::now() - start) < 0.1);
        best = std::max(best, static_cast<double>(calls) / seconds(Clock::now() - start));
    }
    return best;
}

std::string hex(const std::vector<char>& octets)
{
    std::string text;
    char digits[3];
    for (char c : octets) {
        std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
        text += digits;
    }
    return text;
}

struct Rates {
    std::string octets;     // hexadecimal
    double encode = 0;
    double decode = 0;
    double kept = 0;        // decode into a kept message
    double both = 0;
};

struct Sample {
    const char* name;
    const char* text;   // value notation
};

// The values of erl_codec.escript.
const Sample samples[] = {
    {"ping", "{ seq 7, pdu command : ping : NULL }"},
    {"create_trunk", "{ seq 21, slot 5, pdu command : create : trunk : { trunk 0, timeslot 1 } }"},
    {"query_signal",
     "{ pdu signal : query : { boardMajor 1, boardMinor 2, rtp-g729 10, rtp-g723 10, rtp-g711 10, "
     "rtp-g711mcc 4, modem 8, mixer { }, mux TRUE, mcc-data 2, mcc-bri 2, mcc-trans 2, "
     "echoBus { 0, 1, 2, 3 }, t38-instances 4, digital-modems 2, lin16 0, universal 0 } }"},
};

bool measure(const Sample& sample, Rates& rates)
{
    LGCP::Message message;
    if (!message.setFromValueNotation(sample.text)) {
        std::fprintf(stderr, "%s: value notation does not read\n", sample.name);
        return false;
    }
    std::vector<char> encoded;
    encoded.reserve(200);
    bool ok = true;
    auto encode = [&] {
        ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
        encoded.clear();
        ok &= ASN1::encode(message, &env, std::back_inserter(encoded));
    };
    encode();
    const std::vector<char> octets = encoded;
    auto decode = [&] {
        ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
        LGCP::Message received;
        ok &= ASN1::decode(octets.data(), octets.data() + octets.size(), &env, received, true);
    };
    LGCP::Message kept;
    rates.octets = hex(octets);
    rates.encode = perSecond(encode);
    rates.decode = perSecond(decode);
    rates.kept = perSecond([&] {
        ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
        ok &= ASN1::decode(octets.data(), octets.data() + octets.size(), &env, kept, true);
    });
    rates.both = perSecond([&] {
        encode();
        ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
        LGCP::Message received;
        ok &= ASN1::decode(encoded.data(), encoded.data() + encoded.size(), &env, received, true);
    });
    if (!ok)
        std::fprintf(stderr, "%s: a coding failed\n", sample.name);
    return ok;
}

bool installed(const char* program)
{
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// Erlang's rates per message name, from the escript's lines
// "NAME: N octets HEX enc/s E dec/s D encdec/s B", the best of three runs;
// empty when it cannot run.
std::map<std::string, Rates> erlang()
{
    std::map<std::string, Rates> result;
    if (!STALVANE_ASN1_CROSSCHECK || !installed("erlc") || !installed("escript"))
        return result;
    char folder[] = "/tmp/stalvane-bench-asn1-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        return result;
    const std::string work = std::string(folder) + "/work";
    const std::string command = std::string(STALVANE_PYTHON) + " " STALVANE_ASN1_CROSSCHECK_DIR "/crosscheck.py prepare " +
                                STALVANE_ASN1_SOURCE_DIR + " " + work + " >/dev/null && cd " + work +
                                "/ext && for run in 1 2 3; do escript " STALVANE_BENCH_DIR "/erl_codec.escript; done";
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            char name[64];
            char octets[256];
            Rates rates;
            if (std::sscanf(line, "%63[^:]: %*d octets %255s enc/s %lf dec/s %lf encdec/s %lf", name, octets,
                            &rates.encode, &rates.decode, &rates.both) == 5) {
                rates.octets = octets;
                Rates& best = result[name];
                best.octets = rates.octets;
                best.encode = std::max(best.encode, rates.encode);
                best.decode = std::max(best.decode, rates.decode);
                best.both = std::max(best.both, rates.both);
            }
        }
        ::pclose(pipe);
    }
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    return result;
}

std::vector<Demo::Message*> messageSet()
{
    std::vector<Demo::Message*> set;

    Demo::Message* success = new Demo::Message;   // response success with seq and slot
    success->includeOptionalField(Demo::Message::e_seq, 0);
    success->set_seq(1);
    success->includeOptionalField(Demo::Message::e_slot, 1);
    success->set_slot(5);
    success->get_pdu().set_response().set_success();
    set.push_back(success);

    Demo::Message* connect = new Demo::Message;   // command connect
    connect->includeOptionalField(Demo::Message::e_seq, 0);
    connect->set_seq(70000);
    connect->includeOptionalField(Demo::Message::e_slot, 1);
    connect->set_slot(12);
    connect->get_pdu().set_command().set_connect(40);
    set.push_back(connect);

    Demo::Message* deactivated = new Demo::Message;   // signal with an enumeration
    deactivated->includeOptionalField(Demo::Message::e_slot, 1);
    deactivated->set_slot(3);
    deactivated->get_pdu().set_signal().set_deactivated(Demo::DeactivateCause::otherError);
    set.push_back(deactivated);

    Demo::Message* tonec = new Demo::Message;   // signal with a nested SEQUENCE
    tonec->includeOptionalField(Demo::Message::e_slot, 1);
    tonec->set_slot(700);
    Demo::TonecEvent& event = tonec->get_pdu().set_signal().set_tonec();
    event.set_timestamp(123456789);
    event.get_event().set_dtmf(11);
    set.push_back(tonec);

    Demo::Message* number = new Demo::Message;   // signal with a string
    number->includeOptionalField(Demo::Message::e_slot, 1);
    number->set_slot(1);
    number->get_pdu().set_signal().set_number("+4930123456789");
    set.push_back(number);

    Demo::Message* userData = new Demo::Message;   // command with 64 octets
    userData->includeOptionalField(Demo::Message::e_seq, 0);
    userData->set_seq(99);
    userData->get_pdu().set_command().set_userData() = std::vector<char>(64, 0x5A);
    set.push_back(userData);
    return set;
}

// The example module: messages per second for encoding, decoding and printing.
bool exampleModule()
{
    const std::vector<Demo::Message*> set = messageSet();
    const int rounds = 200000;
    ASN1::CoderEnv env;

    std::vector<std::vector<char>> encodings(set.size());
    std::size_t octets = 0;
    for (std::size_t i = 0; i < set.size(); ++i) {
        ASN1::encode(*set[i], &env, std::back_inserter(encodings[i]));
        octets += encodings[i].size();
    }

    std::vector<char> out;
    out.reserve(256);
    std::size_t failures = 0;
    Clock::time_point start = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (const Demo::Message* msg : set) {
            out.clear();
            failures += !ASN1::encode(*msg, &env, std::back_inserter(out));
        }
    }
    const double encodeTime = seconds(Clock::now() - start);

    start = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (const std::vector<char>& bytes : encodings) {
            Demo::Message msg;
            failures += !ASN1::decode(bytes.data(), bytes.data() + bytes.size(), &env, msg, true);
        }
    }
    const double decodeTime = seconds(Clock::now() - start);

    const int printRounds = rounds / 10;
    std::ostringstream text;
    start = Clock::now();
    for (int r = 0; r < printRounds; ++r) {
        for (const Demo::Message* msg : set) {
            text.str("");
            text << *msg;
        }
    }
    const double printTime = seconds(Clock::now() - start);

    const double messages = static_cast<double>(rounds) * set.size();
    std::printf("example module: %zu messages, %zu octets in all\n", set.size(), octets);
    std::printf("encode: %.0f messages/s\n", messages / encodeTime);
    std::printf("decode: %.0f messages/s\n", messages / decodeTime);
    std::printf("print:  %.0f messages/s\n", messages / 10 / printTime);
    std::printf("failures: %zu\n", failures);
    for (Demo::Message* msg : set)
        delete msg;
    return failures == 0;
}

// N operations of one kind on one message; false on a failure or an unknown name.
bool count(const std::string& kind, const std::string& name, long n)
{
    const Sample* sample = nullptr;
    for (const Sample& candidate : samples) {
        if (name == candidate.name)
            sample = &candidate;
    }
    LGCP::Message message;
    if (sample == nullptr || !message.setFromValueNotation(sample->text))
        return false;
    std::vector<char> encoded;
    encoded.reserve(200);
    ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
    bool ok = ASN1::encode(message, &env, std::back_inserter(encoded));
    const std::vector<char> octets = encoded;
    LGCP::Message kept;
    const int which = kind == "encode" ? 0 : kind == "decode" ? 1 : kind == "kept" ? 2 : -1;
    for (long i = 0; i < n; ++i) {
        ASN1::CoderEnv each(ASN1::CoderEnv::per_encoding);   // as in the timed runs
        if (which == 0) {
            encoded.clear();
            ok &= ASN1::encode(message, &each, std::back_inserter(encoded));
        } else if (which == 1) {
            LGCP::Message received;
            ok &= ASN1::decode(octets.data(), octets.data() + octets.size(), &each, received, true);
        } else if (which == 2) {
            ok &= ASN1::decode(octets.data(), octets.data() + octets.size(), &each, kept, true);
        }
    }
    if (which < 0)
        return false;
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--count") == 0)
        return count(argv[2], argv[3], std::atol(argv[4])) ? 0 : 1;
    const bool withErlang = !(argc > 1 && std::strcmp(argv[1], "--no-erlang") == 0);
    // Ours before and after Erlang's runs, the better of the two: the load
    // of a shared machine changes over seconds.
    bool ok = true;
    std::map<std::string, Rates> ours;
    for (const Sample& sample : samples)
        ok &= measure(sample, ours[sample.name]);
    const std::map<std::string, Rates> theirs = withErlang ? erlang() : std::map<std::string, Rates>();
    for (const Sample& sample : samples) {
        Rates again;
        ok &= measure(sample, again);
        Rates& best = ours[sample.name];
        best.encode = std::max(best.encode, again.encode);
        best.decode = std::max(best.decode, again.decode);
        best.kept = std::max(best.kept, again.kept);
        best.both = std::max(best.both, again.both);
    }

    std::printf("LGCP messages, per second (Erlang/OTP aligned PER beside ours where installed)\n");
    std::printf("%-13s %6s %10s %10s %10s %10s", "message", "octets", "encode", "decode", "dec kept", "both");
    if (!theirs.empty())
        std::printf(" %10s %10s %10s %6s %6s %6s %6s", "erl enc", "erl dec", "erl both", "enc x", "dec x", "kept x",
                    "both x");
    std::printf("\n");
    for (const Sample& sample : samples) {
        const Rates& r = ours[sample.name];
        std::printf("%-13s %6zu %10.0f %10.0f %10.0f %10.0f", sample.name, r.octets.size() / 2, r.encode, r.decode,
                    r.kept, r.both);
        auto it = theirs.find(sample.name);
        if (it != theirs.end()) {
            const Rates& e = it->second;
            std::printf(" %10.0f %10.0f %10.0f %6.2f %6.2f %6.2f %6.2f", e.encode, e.decode, e.both,
                        r.encode / e.encode, r.decode / e.decode, r.kept / e.decode, r.both / e.both);
            if (e.octets != r.octets)
                std::printf("  (Erlang's octets differ: %s)", e.octets.c_str());
        }
        std::printf("\n");
    }
    if (withErlang && theirs.empty())
        std::printf("(Erlang/OTP not installed or its run failed: no comparison)\n");
    std::printf("\n");
    ok &= exampleModule();
    return ok ? 0 : 1;
}
