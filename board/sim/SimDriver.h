#pragma once
// One driver of the simulated board. A driver keeps the state its real
// counterpart keeps; the state is shared by every open of its device, and
// per-open state is kept by the driver keyed by the open. Requests reach it
// after the board has logged them and applied injected faults.
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

class SimDriver;

// One open of a simulated device: the daemon holds one end of a socket pair,
// the board the other (`peer`), so readiness and data come from the model.
struct SimOpenFile {
    std::string device;
    SimDriver* driver = nullptr;
    unsigned id = 0;    // opening order over the whole board, from 1
    int peer = -1;      // the model's end, owned by the board
    std::pair<dev_t, ino_t> node{};   // the daemon end's device and inode
};

class SimDriver {
public:
    virtual ~SimDriver() = default;

    virtual void opened(SimOpenFile&) {}
    virtual void closed(SimOpenFile&) {}
    // Returns the request's result, or -1 with `error` set. The record is
    // `size` bytes, already checked against the code's size.
    virtual int ioctl(SimOpenFile&, std::uint32_t, unsigned char*, std::size_t, int& error)
    {
        error = ENOTTY;
        return -1;
    }
    virtual int ioctlValue(SimOpenFile&, std::uint32_t, long, int& error)
    {
        error = ENOTTY;
        return -1;
    }
    // count requests of one code, the i-th with the record at records +
    // i * size; the results are not reported.
    virtual void ioctlEach(SimOpenFile& file, std::uint32_t code, unsigned char* records, std::size_t size,
                           std::size_t count)
    {
        int error = 0;
        for (std::size_t i = 0; i < count; ++i)
            ioctl(file, code, records + i * size, size, error);
    }
};
