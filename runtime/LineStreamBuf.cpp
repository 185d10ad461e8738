#include "runtime/LineStreamBuf.h"

#include <unistd.h>

#include <cstring>
#include <iostream>

#include "runtime/Fd.h"

LineStreamBuf::~LineStreamBuf()
{
    sync();
}

bool LineStreamBuf::writeOut(const char* text, std::size_t n)
{
    return writeAll(fd_, text, n);
}

LineStreamBuf::int_type LineStreamBuf::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    pending_ += ch;
    if (ch == '\n') {
        writeOut(pending_.data(), pending_.size());
        pending_.clear();
    }
    return c;
}

std::streamsize LineStreamBuf::xsputn(const char* text, std::streamsize n)
{
    if (n <= 0)
        return 0;
    const std::size_t size = static_cast<std::size_t>(n);
    const char* last = static_cast<const char*>(::memrchr(text, '\n', size));
    if (last == nullptr) {
        pending_.append(text, size);
        return n;
    }
    // Everything up to the last end of line goes out in one write.
    const std::size_t lines = static_cast<std::size_t>(last - text) + 1;
    if (pending_.empty()) {
        writeOut(text, lines);
    } else {
        pending_.append(text, lines);
        writeOut(pending_.data(), pending_.size());
    }
    pending_.assign(text + lines, size - lines);
    return n;
}

int LineStreamBuf::sync()
{
    if (pending_.empty())
        return 0;
    const bool written = writeOut(pending_.data(), pending_.size());
    pending_.clear();
    return written ? 0 : -1;
}

void writeStandardErrorByLines()
{
    // Owned by the streams until exit: they are flushed after every static
    // object is gone.
    static LineStreamBuf* const lines = new LineStreamBuf(STDERR_FILENO);
    std::cerr.flush();
    std::clog.flush();
    std::cerr.rdbuf(lines);
    std::clog.rdbuf(lines);
    std::cerr.unsetf(std::ios::unitbuf);
}
