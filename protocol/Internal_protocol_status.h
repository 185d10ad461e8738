#pragma once
// Outcome of a layer's initialisation, deactivation or failure, handed through
// a protocol stack by Smart_pointer<Internal_protocol_status>.
//
// Ownership: a status is made on the heap with a count of 0 and wrapped at once
// in a Smart_pointer; it lives as long as any receiver keeps a handle and is
// deleted, through the virtual destructor, with the last one.
#include <iosfwd>
#include <string>

#include "runtime/Smart_pointer.h"

class Protocol;

class Internal_protocol_status
{
public:
    explicit Internal_protocol_status(Protocol* source) : source(source) {}
    Internal_protocol_status(const Internal_protocol_status&) = delete;
    Internal_protocol_status& operator=(const Internal_protocol_status&) = delete;
    virtual ~Internal_protocol_status() = default;

    virtual bool success() const = 0;
    virtual std::string message() const = 0;
    virtual std::ostream& out(std::ostream& os) const = 0;

    // The layer that made the status (not owned).
    Protocol* source;
    unsigned refcount = 0;
};

using Protocol_status = Smart_pointer<Internal_protocol_status>;

class Protocol_status_success : public Internal_protocol_status
{
public:
    Protocol_status_success(Protocol* source, const std::string& text) : Internal_protocol_status(source), text(text) {}

    bool success() const override { return true; }
    std::string message() const override { return text; }
    std::ostream& out(std::ostream& os) const override;

private:
    std::string text;
};

// Base of every failure; the link layers derive their own from it.
class Protocol_status_error : public Internal_protocol_status
{
public:
    Protocol_status_error(Protocol* source, const std::string& text) : Internal_protocol_status(source), text(text) {}

    bool success() const override { return false; }
    std::string message() const override { return text; }
    std::ostream& out(std::ostream& os) const override;

private:
    std::string text;
};

class Protocol_initialize_error : public Protocol_status_error
{
public:
    using Protocol_status_error::Protocol_status_error;
};
