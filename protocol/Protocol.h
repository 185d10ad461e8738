#pragma once
// Protocol stacks: layers (Protocol) held in order by a ProtocolsList; a
// ProtocolsFamily is a list that is itself a layer, so stacks nest.
//
// Packets go down by message() and come up by receive(); activation starts at
// the bottom and climbs, deactivation starts at the top and descends, and
// failures climb to the top and out to the holder of the stack (the container).
// Every hand-over is a direct call.
//
// Ownership: a list owns its layers and deletes them with itself, top first.
// A layer deleted on its own first leaves its list.
#include <iosfwd>

#include "protocol/Internal_protocol_status.h"
#include "protocol/Packet.h"
#include "runtime/F_dual_list.h"

class ProtocolsList;

class Protocol_name
{
public:
    virtual ~Protocol_name() = default;
    virtual int kind() const = 0;
    virtual const char* name() const = 0;
    virtual bool compare(const Protocol_name& other) const = 0;
};

class Protocol_name_null : public Protocol_name
{
public:
    int kind() const override { return 0; }
    const char* name() const override { return "(no name)"; }
    bool compare(const Protocol_name& other) const override { return other.kind() == 0; }
};

// Owns a copy of its text; a null text is taken as "(no name)".
class Protocol_name_str : public Protocol_name
{
public:
    explicit Protocol_name_str(const char* text);
    Protocol_name_str(const Protocol_name_str&) = delete;
    Protocol_name_str& operator=(const Protocol_name_str&) = delete;
    ~Protocol_name_str() override;

    int kind() const override { return 1; }
    const char* name() const override { return text; }
    bool compare(const Protocol_name& other) const override;

private:
    char* text;
};

class Protocol_info
{
public:
    virtual ~Protocol_info() = default;
    virtual bool compare_name(const Protocol_name&) const { return false; }
    // The layer's own name, or the null name.
    virtual const Protocol_name& name() const { return null_name; }

private:
    Protocol_name_null null_name;
};

// One layer. In its list, next is the upper layer and prev the lower one.
class Protocol : public Protocol_info, public F_dual_list_item<Protocol>
{
public:
    Protocol() = default;
    Protocol(const Protocol&) = delete;
    Protocol& operator=(const Protocol&) = delete;
    // Leaves the container's list first.
    ~Protocol() override;

    virtual void local_prepare_head(Packet& p);   // reserve_head(0)
    virtual void local_prepare_tail(Packet& p);   // reserve_tail(0)
    virtual Protocol_status local_initialize();   // success "success"
    virtual void local_activate();                // on_activate() at once
    virtual void local_deactivate();              // on_deactivate(success "success")
    // Hands p down: the lower layer's message, else the container's transmit.
    virtual void transmit(Packet& p);
    // Hands p up: the upper layer's receive, else the container's on_message.
    virtual void on_message(Packet& p);
    // Starts the upper layer, or tells the container that the top is active.
    virtual void on_activate();
    // Success goes down (lower layer's deactivate), failure climbs; at the
    // end the container's on_deactivated. s must not be null.
    virtual void on_deactivate(Protocol_status s);
    virtual void on_status(Protocol_status s);
    virtual void message(Packet&) {}
    virtual void receive(Packet&) {}
    // From the bottom layer up.
    virtual void activate();
    virtual void deactivate();
    virtual std::ostream& protocol_info(std::ostream& os) const { return os; }

    // The lower layers first; a failure is returned unchanged and this layer
    // is then not initialised.
    Protocol_status initialize();
    // Every layer, lowest first, reserves its room.
    void prepare_head(Packet& p);
    void prepare_tail(Packet& p);

    Protocol* upper() const { return next; }
    Protocol* lower() const { return prev; }
    ProtocolsList* get_container() const { return container; }

protected:
    void descend_prepare_head(Packet& p);
    void descend_prepare_tail(Packet& p);

private:
    friend class ProtocolsList;
    ProtocolsList* container = nullptr;
};

// Layers in order: head is the bottom, tail the top. Owns them.
class ProtocolsList : public Protocol, private F_dual_list<Protocol>
{
public:
    ProtocolsList() = default;
    // Deletes the layers from the top down.
    ~ProtocolsList() override;

    virtual void on_activated(Protocol*) {}
    virtual void on_deactivated(Protocol*, Protocol_status) {}
    // New bottom / new top; the list becomes the layer's container.
    virtual void add_protocol_head(Protocol* p);
    virtual void add_protocol_tail(Protocol* p);

    // The first layer, from the bottom, whose compare_name accepts name.
    Protocol* search(const Protocol_name& name) const;

    Protocol* bottom() const { return first(); }
    Protocol* top() const { return last(); }
    unsigned layers() const { return count(); }

private:
    friend class Protocol;
};

// A list that acts as one layer to its own neighbours and container.
class ProtocolsFamily : public ProtocolsList
{
public:
    void message(Packet& p) override;
    void receive(Packet& p) override;
    void local_activate() override;
    void local_deactivate() override;
    void on_activated(Protocol* p) override;
    void on_deactivated(Protocol* p, Protocol_status s) override;
    void local_prepare_head(Packet& p) override;
    void local_prepare_tail(Packet& p) override;
    // An empty family fails with "error".
    Protocol_status local_initialize() override;
};
