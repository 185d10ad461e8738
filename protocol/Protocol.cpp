#include "protocol/Protocol.h"

#include <cstring>

Protocol_name_str::Protocol_name_str(const char* source)
{
    if (source == nullptr)
        source = "(no name)";
    const std::size_t n = std::strlen(source) + 1;
    text = new char[n];
    std::memcpy(text, source, n);
}

Protocol_name_str::~Protocol_name_str()
{
    delete[] text;
}

bool Protocol_name_str::compare(const Protocol_name& other) const
{
    return other.kind() == 1 && std::strcmp(text, other.name()) == 0;
}

Protocol::~Protocol()
{
    if (container != nullptr)
        container->remove(this);
}

void Protocol::local_prepare_head(Packet& p)
{
    p.reserve_head(0);
}

void Protocol::local_prepare_tail(Packet& p)
{
    p.reserve_tail(0);
}

Protocol_status Protocol::local_initialize()
{
    return Protocol_status(new Protocol_status_success(this, "success"));
}

void Protocol::local_activate()
{
    on_activate();
}

void Protocol::local_deactivate()
{
    on_deactivate(Protocol_status(new Protocol_status_success(this, "success")));
}

void Protocol::transmit(Packet& p)
{
    if (prev != nullptr)
        prev->message(p);
    else if (container != nullptr)
        container->transmit(p);
}

void Protocol::on_message(Packet& p)
{
    if (next != nullptr)
        next->receive(p);
    else if (container != nullptr)
        container->on_message(p);
}

void Protocol::on_activate()
{
    if (next != nullptr)
        next->local_activate();
    else if (container != nullptr)
        container->on_activated(this);
}

void Protocol::on_deactivate(Protocol_status s)
{
    const bool ok = s->success();   // a null status is fatal here
    if (ok && prev != nullptr)
        prev->deactivate();
    else if (!ok && next != nullptr)
        next->on_deactivate(s);
    else if (container != nullptr)
        container->on_deactivated(this, s);
}

void Protocol::on_status(Protocol_status s)
{
    if (next != nullptr)
        next->on_status(s);
    else if (container != nullptr)
        container->on_status(s);
}

void Protocol::activate()
{
    if (prev != nullptr)
        prev->activate();
    else
        local_activate();
}

void Protocol::deactivate()
{
    local_deactivate();
}

Protocol_status Protocol::initialize()
{
    if (prev != nullptr) {
        Protocol_status below = prev->initialize();
        if (!below->success())
            return below;
    }
    return local_initialize();
}

void Protocol::descend_prepare_head(Packet& p)
{
    if (prev != nullptr)
        prev->prepare_head(p);
}

void Protocol::descend_prepare_tail(Packet& p)
{
    if (prev != nullptr)
        prev->prepare_tail(p);
}

void Protocol::prepare_head(Packet& p)
{
    descend_prepare_head(p);
    local_prepare_head(p);
}

void Protocol::prepare_tail(Packet& p)
{
    descend_prepare_tail(p);
    local_prepare_tail(p);
}

ProtocolsList::~ProtocolsList()
{
    while (Protocol* p = remove_from_tail()) {
        p->container = nullptr;
        delete p;
    }
}

void ProtocolsList::add_protocol_head(Protocol* p)
{
    insert_to_head(p);
    p->container = this;
}

void ProtocolsList::add_protocol_tail(Protocol* p)
{
    insert_to_tail(p);
    p->container = this;
}

Protocol* ProtocolsList::search(const Protocol_name& name) const
{
    for (Protocol* p = first(); p != nullptr; p = p->upper()) {
        if (p->compare_name(name))
            return p;
    }
    return nullptr;
}

void ProtocolsFamily::message(Packet& p)
{
    if (Protocol* t = top())
        t->message(p);
}

void ProtocolsFamily::receive(Packet& p)
{
    if (Protocol* b = bottom())
        b->receive(p);
}

void ProtocolsFamily::local_activate()
{
    if (Protocol* t = top())
        t->activate();
}

void ProtocolsFamily::local_deactivate()
{
    if (Protocol* t = top())
        t->deactivate();
}

void ProtocolsFamily::on_activated(Protocol* p)
{
    if (p == top())
        on_activate();
}

void ProtocolsFamily::on_deactivated(Protocol*, Protocol_status s)
{
    on_deactivate(s);
}

void ProtocolsFamily::local_prepare_head(Packet& p)
{
    if (Protocol* t = top())
        t->prepare_head(p);
}

void ProtocolsFamily::local_prepare_tail(Packet& p)
{
    if (Protocol* t = top())
        t->prepare_tail(p);
}

Protocol_status ProtocolsFamily::local_initialize()
{
    if (Protocol* t = top())
        return t->initialize();
    return Protocol_status(new Protocol_initialize_error(this, "error"));
}
