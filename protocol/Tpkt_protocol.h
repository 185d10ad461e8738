#pragma once
// TPKT framing (RFC 1006): version 3, reserved 0, a 16-bit big-endian length
// counting the 4 header bytes, then one message.
//
// Receiving: input chunks may split or join frames anywhere; each complete
// payload goes up as its own packet handle (the receiver may keep it). A
// frame left incomplete for 3000 ms after the last chunk is dropped. Once the
// layer is reset (deactivated) while a frame is handed up, the rest of that
// chunk is not parsed. Garbage is dropped byte by byte, but each kind of bad
// header is said once until the next frame goes up: a peer cannot write a
// log line per byte it sends.
//
// Sending: message() pushes the header in front of the payload (the packet
// must have been prepared through prepare_head) and hands it down. A payload
// above 65531 bytes cannot be framed: it is refused with an error line.
#include "protocol/Protocol.h"
#include "runtime/Timer.h"

class Tpkt_protocol : public Protocol
{
public:
    enum State { idle = 0, wait_r = 1, len_1 = 2, len_2 = 3, body = 4, ignore = 5 };

    static const unsigned header_size = 4;
    static const unsigned max_payload = 0xFFFF - header_size;
    static const unsigned frame_timeout_ms = 3000;

    Tpkt_protocol();
    ~Tpkt_protocol() override;

    const Protocol_name& name() const override { return layer_name; }

    void local_prepare_head(Packet& p) override;   // room for the header
    void local_prepare_tail(Packet& p) override;
    // Resets the receive machine and starts the upper layer.
    void local_activate() override;
    // Resets, then reports "TPKT deactivated" down the stack.
    void local_deactivate() override;
    void message(Packet& p) override;
    void receive(Packet& p) override;

    State state() const { return receive_state; }
    bool timer_pending() const { return timer.get() != nullptr; }

private:
    void on_timeout(Timer*);
    void reset();
    void next_state(State s) { receive_state = s; }
    void deliver();

    void receive_idle(Packet& p);
    void receive_wait_r(Packet& p);
    void receive_len_1(Packet& p);
    void receive_len_2(Packet& p);
    void receive_body(Packet& p);
    void receive_ignore(Packet& p);

    Protocol_name_str layer_name;
    unsigned length = 0;
    Timer timer;
    State receive_state = idle;
    Packet frame;
    // Counts resets, so that receive() sees one made while a frame was up.
    unsigned resets = 0;
    // Said since the last frame went up.
    bool said_start = false;
    bool said_reserved = false;
};
