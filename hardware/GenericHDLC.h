#pragma once
// What a frame user sends through: an HDLC channel of the controller (HDLC)
// or any other frame link that stands in for one.
class Packet;

class GenericHDLC {
public:
    virtual ~GenericHDLC() = default;

    // Sends one frame. The caller keeps its packet reference.
    virtual bool hdlc_transmit(Packet& packet) = 0;
    virtual bool is_open() const = 0;
    virtual bool is_ready() const = 0;
};
