#pragma once
// One HDLC frame channel of the board's multi-channel communication
// controller ("/dev/mcc/ctl"). activate() opens the device on a descriptor of
// the channel's own, asks the driver for a channel, learns the controller's
// time slot of it and joins that slot to the owner's bus time slots through
// the switch (HwMux). Then one write sends one frame and one read receives
// one frame.
//
// The owner fills `params`, index and owner number, points the notify at its
// user (bind) and calls activate()/deactivate(); it deletes the channel. Each
// received frame goes to the user in a packet of its own; a write that would
// block returns false and the user waits for on_hdlc_ready() (the channel
// queues nothing). A notify callback may deactivate the channel or delete it:
// the channel touches nothing of itself after a callback that deleted it.
//
// Traces (the "signalling.hdlc" switch of `traces`) go to std::clog, errors to
// std::cerr.
#include <cstdint>
#include <ostream>

#include "hardware/GenericHDLC.h"
#include "runtime/Event.h"

class BoardDevice;
class HwMux;
class Packet;

class HDLC : public GenericHDLC {
public:
    // What a channel reports to its user. All calls come from the event loop.
    class Notify {
    public:
        struct Cause {
            enum Type {
                ReadError = 0,   // a read failed; the channel is already closed
            };
        };

        virtual ~Notify() = default;
        virtual void on_hdlc_receive(Packet& packet) = 0;
        virtual void on_hdlc_error(Cause::Type cause) = 0;
        // A channel that refused a frame can take frames again.
        virtual void on_hdlc_ready() = 0;
    };

    struct Params {
        std::int32_t owner1 = 0;
        std::int32_t owner2 = 0;    // second number of the trace header
        std::int32_t tdm = -1;      // bus time slot received from (and sent to in modes 0, 1)
        std::int32_t tdm2 = -1;     // bus time slot sent to in mode 2
        std::int32_t mode = 0;      // 0, 1 or 2
    };

    // In the order of LGCP::HdlcLinkInfo.
    struct Statistics {
        std::uint32_t txSU = 0;         // frames written
        std::uint32_t txDiscard = 0;    // frames offered while closed
        std::uint32_t txError = 0;      // writes that failed
        std::uint32_t txOverflow = 0;   // reset with the others, never counted
        std::uint32_t rxSU = 0;         // frames received
    };

    // The process's board and switch, looked up at the first activation.
    HDLC();
    HDLC(BoardDevice& board, HwMux& mux);
    ~HDLC() override;
    HDLC(const HDLC&) = delete;
    HDLC& operator=(const HDLC&) = delete;

    // Points the notify at the process's do-nothing user.
    void unbind();
    // Points the notify at user; null unbinds. The user outlives the binding.
    void bind(Notify* user);
    Notify& notify() const { return *m_notify; }

    // Closes an open channel first and resets the statistics. False (with a
    // line on std::cerr) when the device does not open, a request fails or the
    // mode is not 0..2; the channel is closed then.
    bool activate();
    // Closes the descriptor; the switch connections stay.
    void deactivate();

    bool hdlc_transmit(Packet& packet) override;
    bool is_open() const override { return m_event.IsActive(); }
    bool is_ready() const override { return m_ready; }

    void on_event(int fd, short revents);
    // Reads and delivers frames until the device is drained or the channel closes.
    void do_read();

    // "hdlc [index/owner2]: "
    void PutHeader(std::ostream& os) const;

    Params params;

    const Statistics& statistics() const { return m_stats; }
    std::int32_t owner() const { return m_owner; }
    void setOwner(std::int32_t owner) { m_owner = owner; }
    std::int32_t index() const { return m_index; }
    void setIndex(std::int32_t index) { m_index = index; }
    const Event& eventForTest() const { return m_event; }

private:
    BoardDevice& board();
    HwMux& mux();

    bool m_ready = false;
    Statistics m_stats;
    Event m_event;
    std::int32_t m_owner = 0;
    std::int32_t m_index = 0;
    Notify* m_notify = nullptr;
    BoardDevice* m_board = nullptr;
    HwMux* m_mux = nullptr;
};
