#pragma once
// The simulated board (STALVANE_BOARD=sim). Each open of a modelled device
// makes a socket pair: the daemon gets one end, the board keeps the other, so
// the descriptor can be polled, duplicated and closed like a device's. Opens
// are recognised by the socket's inode, so duplicates reach the same open.
// Requests go to the device's driver (SimDriver), which dispatches by code.
//
// A request costs one fstat: a table indexed by descriptor remembers the
// open of every descriptor seen, and the number's inode tells whether it
// still names that open (a number closed or replaced by dup2 behind the
// board's back reaches what it names now); only then is the open looked up
// by inode. The board forgets a number when it closes it, when it names no
// open and when its open ends.
//
// For tests: every call is logged in order; faults can be injected (an open
// failing, a request failing with a chosen errno); data can be injected
// towards the daemon and what the daemon wrote can be read back. Nothing is
// recorded while nobody reads the log (keepRequests(false), no logTo).
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "board/BoardDevice.h"
#include "board/sim/SimDriver.h"

class SimCas;
class SimHal;
class SimMaintenance;

class SimBoard : public BoardDevice {
public:
    enum class Op { Open, Close, Ioctl, IoctlValue, Read, Write };

    struct Request {
        Request(Op o, std::string dev, std::uint32_t c = 0) : op(o), device(std::move(dev)), code(c) {}

        Op op;
        std::string device;                 // "" for a descriptor the board does not know
        std::uint32_t code = 0;             // Ioctl, IoctlValue
        std::vector<unsigned char> data;    // Ioctl: the record as sent; Read/Write: the bytes moved
        std::vector<unsigned char> reply;   // Ioctl: the record as the driver left it, on success
        long value = 0;                     // IoctlValue: the value; Open: the flags
        int result = 0;
        int error = 0;                      // errno of a failure, else 0
    };

    // Models "/dev/hal", "/dev/maintenance", "/dev/e1-cas", "/dev/mcc/ctl",
    // "/dev/dtmf" and "/dev/dsp".
    SimBoard();
    ~SimBoard() override;
    SimBoard(const SimBoard&) = delete;
    SimBoard& operator=(const SimBoard&) = delete;

    int open(const char* path, int flags) override;
    int close(int fd) override;
    int ioctl(int fd, std::uint32_t code, unsigned char* record, std::size_t size) override;
    void ioctlEach(int fd, std::uint32_t code, unsigned char* records, std::size_t size, std::size_t count) override;
    int ioctlValue(int fd, std::uint32_t code, long value) override;
    ssize_t read(int fd, void* buffer, std::size_t size) override;
    ssize_t write(int fd, const void* buffer, std::size_t size) override;
    int poll(struct pollfd* fds, nfds_t count, int timeout) override;

    // Drivers, one per device path; an open of any other path fails with ENOENT.
    void addDriver(const std::string& path, std::unique_ptr<SimDriver> driver);
    SimDriver* driver(const std::string& path) const;
    SimHal& hal() const;
    SimMaintenance& maintenance() const;
    SimCas& cas() const;

    // The request log.
    const std::vector<Request>& requests() const { return log_; }
    std::vector<Request> requests(Op op, const std::string& device) const;
    void clearRequests() { log_.clear(); }
    // Off: requests are no longer kept in memory (a long-running daemon on
    // the simulated board would otherwise grow without end).
    void keepRequests(bool keep) { keep_ = keep; }

    // Also appends every request to a text file (false when it cannot be
    // opened), one line each, flushed at once, so another process can
    // follow it:
    //   <op> <device or -> <code, 8 hex digits> <value> <data or -> <reply or -> <result> <errno>
    // op is open, close, ioctl, ioctl-value, read or write; data and reply
    // are the bytes in lower-case hex without blanks.
    bool logTo(const std::string& path);
    static std::string formatRequest(const Request& request);

    // Faults: `times` < 0 means until cleared. An ioctl fault with code 0
    // matches every request of the device.
    void failOpen(const std::string& device, int error, int times = -1);
    void failIoctl(const std::string& device, std::uint32_t code, int error, int times = 1);
    void failRead(const std::string& device, int error, int times = 1);
    void failWrite(const std::string& device, int error, int times = 1);
    void clearFaults() { faults_.clear(); }

    // Live opens of a device, oldest first. An open ends when every daemon
    // descriptor of it is closed, through this board or not.
    std::vector<SimOpenFile*> opens(const std::string& device);
    // Sends one message to the daemon's end of an open / takes one message the
    // daemon wrote (empty when there is none).
    bool inject(SimOpenFile& file, const void* data, std::size_t size);
    std::vector<unsigned char> takeWritten(SimOpenFile& file);

private:
    struct Fault {
        Op op;
        std::string device;
        std::uint32_t code;
        int error;
        int times;
    };

    // Nobody reads the log and no fault is set: a request needs neither a
    // record nor a fault check.
    bool quiet() const { return !keep_ && file_ == nullptr && faults_.empty(); }
    int recordedIoctl(SimOpenFile* file, int error, std::uint32_t code, unsigned char* data, std::size_t size);
    SimOpenFile* find(int fd, int& error);
    SimOpenFile* findForLog(int fd, int& error);
    void remember(int fd, SimOpenFile* file);
    void forget(int fd);
    int takeFault(Op op, const std::string& device, std::uint32_t code);
    void reap();
    // The record of the request now starting; null while nobody reads the log.
    Request* record(Op op, const SimOpenFile* file, std::uint32_t code = 0);
    int finish(Request* request, int result, int error);

    std::map<std::string, std::unique_ptr<SimDriver>> drivers_;
    std::map<std::pair<dev_t, ino_t>, std::unique_ptr<SimOpenFile>> opens_;   // by the daemon end's inode
    std::vector<SimOpenFile*> byFd_;     // the open each descriptor named when last seen, or null
    std::vector<Request> log_;
    Request pending_{Op::Open, std::string()};
    std::vector<Fault> faults_;
    unsigned lastId_ = 0;
    bool keep_ = true;
    std::FILE* file_ = nullptr;
};
