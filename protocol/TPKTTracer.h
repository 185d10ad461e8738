#pragma once
// A small TCP server for observers: it listens on a port, accepts any number
// of clients, sends each block given to it to every client (or, while a
// client's frame is being handled, to that client only) framed with a TPKT
// header, and hands each complete TPKT frame a client sends to one receiver.
// It has its own minimal framing (payloads of at most 512 bytes inbound).
//
// Ownership: the tracer owns its clients, each with its socket; it does not
// own the receiver. A client that fails is closed; when that is the client
// whose frame the receiver is handling, it is deleted only once the receiver
// has returned, so the frame's bytes stay valid for the whole call.
#include <sys/socket.h>

#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>

#include "runtime/Event.h"
#include "protocol/AcceptorSupport.h"

class TPKTTracer
{
public:
    class Receiver
    {
    public:
        virtual ~Receiver() = default;
        // One frame's payload, valid during the call. A Send from here goes
        // to the sending client only.
        virtual void Receive(const void* data, unsigned length) = 0;
    };

    static const unsigned header_size = 4;
    static const unsigned buffer_size = 512;
    // The 16-bit length counts the header.
    static const unsigned max_block = 0xFFFF - header_size;
    // Pause of the listening after an accept failed for want of descriptors.
    static const unsigned accept_retry_ms = Control::AcceptPause::retry_ms;

    struct Connection
    {
        bool in_header = true;
        unsigned wanted = header_size;
        unsigned received = 0;
        Event event;   // holds the client's socket
        unsigned char buffer[buffer_size];
    };
    using Clients = std::list<std::unique_ptr<Connection>>;
    using Position = Clients::iterator;

    TPKTTracer();
    TPKTTracer(const TPKTTracer&) = delete;
    TPKTTracer& operator=(const TPKTTracer&) = delete;
    // Closes every client and the listening socket.
    ~TPKTTracer();

    void Bind(Receiver* r) { receiver = r; }
    void UnBind() { receiver = nullptr; }

    // Listens on 0.0.0.0 and port; false, without a message, on any failure.
    bool Listen(unsigned short port);
    // One frame to every client, or to the current one; a client whose send
    // fails or is cut short is closed. Once the current client is closed,
    // the rest of its frame's sends go nowhere. Blocks above max_block are
    // refused.
    void Send(const void* data, unsigned length);

    void OnEvent(int fd, short events);
    void OnDataEvent(int fd, short events);
    void CloseConnection(Position position);
    // The client whose event holds fd, or the end of the list.
    Position FindConnection(int fd);

    // The listening port (0 when not listening) and the number of clients.
    std::uint16_t GetPort() const;
    unsigned GetClientCount() const { return static_cast<unsigned>(clients.size()); }

private:
    void SendTo(Position position, const msghdr& message, unsigned total);
    void ReadFrames(Connection& c);

    Receiver* receiver = nullptr;
    Event listen_event;
    Control::AcceptPause accept_pause;
    Clients clients;
    // The client being handled, else the end of the list.
    Position current;
    std::unordered_map<int, Position> by_fd;
    // The current client after it was closed, until its handling ends; while
    // set, Send sends nothing.
    std::unique_ptr<Connection> closed;
};
