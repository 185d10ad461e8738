#include "protocol/Tpkt_protocol.h"

#include <cstring>
#include <iostream>
#include <new>

#include "runtime/Profile.h"

Tpkt_protocol::Tpkt_protocol() : layer_name("TPKT") {}

Tpkt_protocol::~Tpkt_protocol()
{
    frame = Packet();
    timer.reset();
}

void Tpkt_protocol::local_prepare_head(Packet& p)
{
    p.reserve_head(header_size);
}

void Tpkt_protocol::local_prepare_tail(Packet& p)
{
    p.reserve_tail(0);
}

void Tpkt_protocol::local_activate()
{
    reset();
    said_start = said_reserved = false;
    on_activate();
}

void Tpkt_protocol::local_deactivate()
{
    reset();
    on_deactivate(Protocol_status(new Protocol_status_success(this, "TPKT deactivated")));
}

void Tpkt_protocol::message(Packet& p)
{
    static Profile::Point point("Tpkt_protocol::message");
    point.begin();
    const unsigned n = p.length();
    if (n > max_payload) {
        // The 16-bit length field cannot express it.
        std::cerr << "TPKT message too long, length = " << n << " max = " << max_payload << std::endl;
        point.end();
        return;
    }
    p.push16_b(n + header_size);
    p.push8(0);
    p.push8(3);
    point.end();
    transmit(p);
}

void Tpkt_protocol::receive(Packet& p)
{
    const unsigned start = resets;
    while (p.length() > 0) {
        switch (receive_state) {
        case idle:
            receive_idle(p);
            break;
        case wait_r:
            receive_wait_r(p);
            break;
        case len_1:
            receive_len_1(p);
            break;
        case len_2:
            receive_len_2(p);
            break;
        case body:
            receive_body(p);
            break;
        case ignore:
            receive_ignore(p);
            break;
        }
        if (resets != start)
            return;   // reset while a frame was handed up: the chunk is done with
    }
    if (receive_state == idle)
        timer.reset();
    else
        timer.set(frame_timeout_ms, &Tpkt_protocol::on_timeout, this);
}

void Tpkt_protocol::on_timeout(Timer*)
{
    std::clog << " TPKT packet timeout." << std::endl;
    reset();
}

void Tpkt_protocol::reset()
{
    timer.reset();
    frame = Packet();
    next_state(idle);
    ++resets;
}

// The frame goes up as its own handle: the receiver may keep it, and
// whatever it does to this layer cannot take it away during the call.
void Tpkt_protocol::deliver()
{
    Packet whole(frame);
    frame = Packet();
    next_state(idle);
    said_start = said_reserved = false;
    on_message(whole);
}

void Tpkt_protocol::receive_idle(Packet& p)
{
    if (p.pull8() == 3) {
        next_state(wait_r);
    } else if (!said_start) {
        said_start = true;
        std::clog << name().name() << " bad TPKT packet start." << std::endl;
    }
}

void Tpkt_protocol::receive_wait_r(Packet& p)
{
    if (p.pull8() == 0) {
        next_state(len_1);
    } else {
        if (!said_reserved) {
            said_reserved = true;
            std::clog << name().name() << " bad TPKT reserved." << std::endl;
        }
        next_state(idle);
    }
}

void Tpkt_protocol::receive_len_1(Packet& p)
{
    length = p.pull8();
    next_state(len_2);
}

void Tpkt_protocol::receive_len_2(Packet& p)
{
    length = length * 256 + p.pull8();
    if (length <= 3) {
        std::clog << "TPKT too small " << length << std::endl;
        next_state(idle);
        return;
    }
    length -= header_size;
    frame = Packet();
    try {
        frame.reserve_head(0);
    } catch (const std::bad_alloc&) {
        // No block for the frame: its payload is skipped.
        std::cerr << "TPKT packet pool exhausted, frame of " << length << " bytes dropped" << std::endl;
        next_state(ignore);
        return;
    }
    if (length > frame.tailroom()) {
        std::clog << "TPKT length too big, received = " << length << " max = " << frame.tailroom() << std::endl;
        frame = Packet();
        next_state(ignore);
        return;
    }
    if (length == 0) {
        deliver();   // an empty frame goes up at once
        return;
    }
    next_state(body);
}

void Tpkt_protocol::receive_body(Packet& p)
{
    unsigned n = p.length() < length ? p.length() : length;
    std::memcpy(frame.put(n), p.pull(n), n);
    length -= n;
    if (length == 0)
        deliver();
}

void Tpkt_protocol::receive_ignore(Packet& p)
{
    unsigned n = p.length() < length ? p.length() : length;
    p.pull(n);
    length -= n;
    if (length == 0)
        next_state(idle);
}
