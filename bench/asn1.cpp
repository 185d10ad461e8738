// Aligned PER throughput on a representative set of control messages: the
// example module of the runtime tests (the top of the control message set).
// Prints messages per second for encoding, decoding and printing.
#include <chrono>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <vector>

#include "asn1/ASN1.h"
#include "tests/asn1/TestSchema.cpp"

namespace {

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

double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main()
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
    auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (const Demo::Message* msg : set) {
            out.clear();
            failures += !ASN1::encode(*msg, &env, std::back_inserter(out));
        }
    }
    const double encodeTime = seconds(std::chrono::steady_clock::now() - start);

    start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (const std::vector<char>& bytes : encodings) {
            Demo::Message msg;
            failures += !ASN1::decode(bytes.data(), bytes.data() + bytes.size(), &env, msg, true);
        }
    }
    const double decodeTime = seconds(std::chrono::steady_clock::now() - start);

    const int printRounds = rounds / 10;
    std::ostringstream text;
    start = std::chrono::steady_clock::now();
    for (int r = 0; r < printRounds; ++r) {
        for (const Demo::Message* msg : set) {
            text.str("");
            text << *msg;
        }
    }
    const double printTime = seconds(std::chrono::steady_clock::now() - start);

    const double messages = static_cast<double>(rounds) * set.size();
    std::printf("message set: %zu messages, %zu octets in all\n", set.size(), octets);
    std::printf("encode: %.0f messages/s\n", messages / encodeTime);
    std::printf("decode: %.0f messages/s\n", messages / decodeTime);
    std::printf("print:  %.0f messages/s\n", messages / 10 / printTime);
    std::printf("failures: %zu\n", failures);
    for (Demo::Message* msg : set)
        delete msg;
    return failures == 0 ? 0 : 1;
}
