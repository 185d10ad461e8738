#pragma once
// Stream buffer that writes whole lines to a descriptor: one write(2) per
// line (or per run of lines given in one piece) instead of one per `<<`.
// A line appears as soon as its end of line is written; text without one
// waits for the next end of line or a flush (std::flush, std::endl), so
// std::endl still makes a line appear at once, as before a crash.
//
// The foreground daemon writes std::cerr and std::clog through one such
// buffer on descriptor 2, so their lines keep their order.
#include <streambuf>
#include <string>

class LineStreamBuf : public std::streambuf {
public:
    // Does not own fd.
    explicit LineStreamBuf(int fd) : fd_(fd) {}
    ~LineStreamBuf() override;

protected:
    // No put area: every character comes through here.
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize n) override;
    int sync() override;

private:
    // Writes [text, text + n) whole (short writes and EINTR continue); false
    // on another failure, which drops the rest.
    bool writeOut(const char* text, std::size_t n);

    int fd_;
    std::string pending_;   // text after the last end of line
};

// Makes std::cerr and std::clog write whole lines to descriptor 2 through one
// shared LineStreamBuf (std::cerr no longer flushes after every `<<`). The
// buffer stays installed until the process ends.
void writeStandardErrorByLines();
