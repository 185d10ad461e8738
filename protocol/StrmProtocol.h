#pragma once
// Bottom layer of a stack over a connected stream socket (TCP or Unix).
//
// Reads whatever the socket holds into a fresh pooled packet and hands it up
// unframed; writes each packet handed down with a blocking loop bounded by
// 1000 ms (the watchdog is fed while it waits). What the upper layers hand
// down while they handle a read (the answers to the frames of one chunk)
// is written in one go once they are done, or when they close the layer;
// each of those packets still gets its own 1000 ms, from when the packets
// before it have gone, so a peer that keeps reading is never dropped.
// End of stream, socket errors and write failures close the socket and send
// an error status up.
//
// Ownership: the layer owns its descriptor (a duplicate of what attach gets;
// the caller keeps and closes its own) and the Event's duplicate of it.
// message() leaves the caller's packet as it was.
#include <iosfwd>
#include <string>
#include <vector>

#include "protocol/Protocol.h"
#include "runtime/Event.h"
#include "runtime/Fd.h"
#include "runtime/Measure.h"

class StrmProtocol : public Protocol
{
public:
    // Longest a send may block.
    static const unsigned write_timeout_ms = 1000;

    StrmProtocol();
    explicit StrmProtocol(Fd fd);
    // Releases the socket.
    ~StrmProtocol() override;

    const Protocol_name& name() const override { return layer_name; }

    // Takes fd (the by-value copy is the caller's duplicate); does not start
    // waiting for input.
    void attach(Fd fd);
    // Stops watching and closes the socket.
    void release();

    void local_prepare_head(Packet& p) override;
    void local_prepare_tail(Packet& p) override;
    // Without a descriptor: "fd not attached". Otherwise watches for input
    // and starts the upper layer.
    void local_activate() override;
    void local_deactivate() override;
    // Writes the packet's bytes; on failure the layer closes itself.
    void message(Packet& p) override;

    // "SockStream[label]: "
    void PutHeader(std::ostream& os) const;
    const std::string& label() const { return stream_label; }
    void label(const std::string& text) { stream_label = text; }

    // Socket figures for diagnostics; -1 when the call fails.
    int sendbuf_space() const;
    int recvbuf_space() const;
    int outq_space() const;
    int inq_space() const;
    int free_space() const;

    const Measure& get_read_measure() const { return read_measure; }
    const Measure& get_write_measure() const { return write_measure; }
    // Sends that ended in "write error" or "write timeout".
    unsigned overflow_counter() const { return overflow; }
    bool is_attached() const { return static_cast<bool>(fd); }

private:
    enum class ReadResult { data, again, closed };
    enum class WriteResult { done, error, timeout };

    void on_event(int fd, short revents);
    ReadResult do_read();
    ReadResult drop_read();
    // Writes all size bytes (the write measure times it); on failure error
    // is the errno. ends, when given, lists where each packet of data ends
    // (the last at size): each gets 1000 ms from when the ones before it
    // have gone; without it the whole gets 1000 ms.
    WriteResult write_all(const unsigned char* data, std::size_t size, const std::size_t* ends, int& error);
    // The line, the counter and the error status of a failed write.
    void write_failed(WriteResult result, int error);
    // The line and the counter alone.
    void report_failure(WriteResult result, int error);
    void send_held();
    WriteResult write_held(int& error);
    void on_error(const std::string& text);
    void put_figures(std::ostream& os) const;

    Protocol_name_str layer_name;
    Fd fd;
    bool free_space_flag = false;
    std::string stream_label;
    Event event;
    Measure read_measure;
    Measure write_measure;
    unsigned overflow = 0;
    bool holding = false;               // the upper layers handle a read
    std::vector<unsigned char> held;    // what they sent meanwhile
    std::vector<std::size_t> held_ends; // where each held packet ends in it
};
