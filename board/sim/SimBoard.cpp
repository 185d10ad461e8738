#include "board/sim/SimBoard.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "board/IoctlCode.h"
#include "board/sim/SimCas.h"
#include "board/sim/SimDsp.h"
#include "board/sim/SimDtmf.h"
#include "board/sim/SimHal.h"
#include "board/sim/SimMaintenance.h"
#include "board/sim/SimMcc.h"

namespace {

bool inodeOf(int fd, std::pair<dev_t, ino_t>& node)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    node = {st.st_dev, st.st_ino};
    return true;
}

} // namespace

SimBoard::SimBoard()
{
    addDriver("/dev/hal", std::make_unique<SimHal>());
    addDriver("/dev/maintenance", std::make_unique<SimMaintenance>());
    addDriver("/dev/e1-cas", std::make_unique<SimCas>());
    addDriver("/dev/mcc/ctl", std::make_unique<SimMcc>());
    addDriver("/dev/dtmf", std::make_unique<SimDtmf>());
    addDriver("/dev/dsp", std::make_unique<SimDsp>());
}

SimBoard::~SimBoard()
{
    if (file_ != nullptr)
        std::fclose(file_);
    for (auto& entry : opens_)
        ::close(entry.second->peer);
}

void SimBoard::addDriver(const std::string& path, std::unique_ptr<SimDriver> driver)
{
    drivers_[path] = std::move(driver);
}

SimDriver* SimBoard::driver(const std::string& path) const
{
    auto it = drivers_.find(path);
    return it == drivers_.end() ? nullptr : it->second.get();
}

SimHal& SimBoard::hal() const
{
    return static_cast<SimHal&>(*driver("/dev/hal"));
}

SimMaintenance& SimBoard::maintenance() const
{
    return static_cast<SimMaintenance&>(*driver("/dev/maintenance"));
}

SimCas& SimBoard::cas() const
{
    return static_cast<SimCas&>(*driver("/dev/e1-cas"));
}

std::vector<SimBoard::Request> SimBoard::requests(Op op, const std::string& device) const
{
    std::vector<Request> result;
    for (const Request& r : log_)
        if (r.op == op && r.device == device)
            result.push_back(r);
    return result;
}

bool SimBoard::logTo(const std::string& path)
{
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = std::fopen(path.c_str(), "ae");
    return file_ != nullptr;
}

std::string SimBoard::formatRequest(const Request& request)
{
    static const char* const ops[] = {"open", "close", "ioctl", "ioctl-value", "read", "write"};
    static const char digits[] = "0123456789abcdef";
    auto bytes = [](std::string& out, const std::vector<unsigned char>& data) {
        if (data.empty())
            out += '-';
        for (unsigned char b : data) {
            out += digits[b >> 4];
            out += digits[b & 0x0F];
        }
    };
    std::string out = ops[static_cast<int>(request.op)];
    out += ' ';
    out += request.device.empty() ? "-" : request.device;
    char number[48];
    std::snprintf(number, sizeof number, " %08lx %ld ", static_cast<unsigned long>(request.code), request.value);
    out += number;
    bytes(out, request.data);
    out += ' ';
    bytes(out, request.reply);
    std::snprintf(number, sizeof number, " %d %d", request.result, request.error);
    out += number;
    return out;
}

void SimBoard::failOpen(const std::string& device, int error, int times)
{
    faults_.push_back({Op::Open, device, 0, error, times});
}

void SimBoard::failIoctl(const std::string& device, std::uint32_t code, int error, int times)
{
    faults_.push_back({Op::Ioctl, device, code, error, times});
}

void SimBoard::failRead(const std::string& device, int error, int times)
{
    faults_.push_back({Op::Read, device, 0, error, times});
}

void SimBoard::failWrite(const std::string& device, int error, int times)
{
    faults_.push_back({Op::Write, device, 0, error, times});
}

// The first matching fault's errno (and one use of it), or 0. Ioctl faults
// cover both record and value requests.
int SimBoard::takeFault(Op op, const std::string& device, std::uint32_t code)
{
    Op kind = op == Op::IoctlValue ? Op::Ioctl : op;
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->op != kind || it->device != device || (kind == Op::Ioctl && it->code != 0 && it->code != code))
            continue;
        int error = it->error;
        if (it->times > 0 && --it->times == 0)
            faults_.erase(it);
        return error;
    }
    return 0;
}

SimBoard::Request* SimBoard::record(Op op, const SimOpenFile* file, std::uint32_t code)
{
    if (!keep_ && file_ == nullptr)
        return nullptr;
    pending_ = Request{op, file != nullptr ? file->device : std::string(), code};
    return &pending_;
}

// Logs the request (when recorded) and returns its result with errno set
// last, so that nothing done for the log can change it.
int SimBoard::finish(Request* request, int result, int error)
{
    if (request != nullptr) {
        request->result = result;
        request->error = error;
        if (file_ != nullptr) {
            std::string line = formatRequest(*request);
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), file_);
            std::fflush(file_);
        }
        if (keep_)
            log_.push_back(std::move(*request));
    }
    if (result < 0)
        errno = error;
    return result;
}

// Forgets the opens whose daemon descriptors are all closed: the peer then
// sees a hang-up.
void SimBoard::reap()
{
    for (auto it = opens_.begin(); it != opens_.end();) {
        struct pollfd p = {it->second->peer, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            // Numbers closed behind the board's back still name the open.
            std::replace(byFd_.begin(), byFd_.end(), it->second.get(), static_cast<SimOpenFile*>(nullptr));
            it->second->driver->closed(*it->second);
            ::close(it->second->peer);
            it = opens_.erase(it);
        } else {
            ++it;
        }
    }
}

// The open that fd names now, with one fstat: the remembered one while the
// inode still matches, else the one of that inode. A number that names no
// open is forgotten: EBADF when closed, ENOTTY for any other file.
SimOpenFile* SimBoard::find(int fd, int& error)
{
    std::pair<dev_t, ino_t> node;
    if (!inodeOf(fd, node)) {
        forget(fd);
        error = EBADF;
        return nullptr;
    }
    const std::size_t i = static_cast<std::size_t>(fd);
    if (i < byFd_.size() && byFd_[i] != nullptr && byFd_[i]->node == node)
        return byFd_[i];
    auto it = opens_.find(node);
    if (it == opens_.end()) {
        forget(fd);
        error = ENOTTY;
        return nullptr;
    }
    remember(fd, it->second.get());
    return it->second.get();
}

// For a call that uses the open only for its record and faults: while there
// are none, the system call alone answers and nothing is looked up.
SimOpenFile* SimBoard::findForLog(int fd, int& error)
{
    return quiet() ? nullptr : find(fd, error);
}

void SimBoard::remember(int fd, SimOpenFile* file)
{
    const std::size_t i = static_cast<std::size_t>(fd);
    if (i >= byFd_.size())
        byFd_.resize(i + 1, nullptr);
    byFd_[i] = file;
}

void SimBoard::forget(int fd)
{
    if (fd >= 0 && static_cast<std::size_t>(fd) < byFd_.size())
        byFd_[static_cast<std::size_t>(fd)] = nullptr;
}

int SimBoard::open(const char* path, int flags)
{
    reap();
    Request* request = record(Op::Open, nullptr);
    if (request != nullptr) {
        request->device = path;
        request->value = flags;
    }
    SimDriver* drv = driver(path);
    int error = drv == nullptr ? ENOENT : takeFault(Op::Open, path, 0);
    int ends[2];
    if (error == 0) {
        int type = SOCK_SEQPACKET | ((flags & O_CLOEXEC) != 0 ? SOCK_CLOEXEC : 0);
        if (::socketpair(AF_UNIX, type, 0, ends) != 0)
            error = errno;
    }
    if (error != 0)
        return finish(request, -1, error);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
    if ((flags & O_NONBLOCK) != 0)
        ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    auto file = std::make_unique<SimOpenFile>();
    inodeOf(ends[0], file->node);
    file->device = path;
    file->driver = drv;
    file->id = ++lastId_;
    file->peer = ends[1];
    SimOpenFile& opened = *file;
    opens_[opened.node] = std::move(file);
    remember(ends[0], &opened);
    forget(ends[1]);
    drv->opened(opened);
    return finish(request, ends[0], 0);
}

int SimBoard::close(int fd)
{
    int error = 0;
    SimOpenFile* file = findForLog(fd, error);
    Request* request = record(Op::Close, file);
    forget(fd);
    int result = ::close(fd);
    result = finish(request, result, result < 0 ? errno : 0);
    int saved = errno;
    reap();
    errno = saved;
    return result;
}

int SimBoard::ioctl(int fd, std::uint32_t code, unsigned char* data, std::size_t size)
{
    int error = 0;
    SimOpenFile* file = find(fd, error);
    // The usual request: a board descriptor, a well-formed record, nobody
    // reading the log, no fault.
    if (file != nullptr && quiet() && data != nullptr && size == IoctlCode::size(code)) {
        const int result = file->driver->ioctl(*file, code, data, size, error);
        if (result < 0)
            errno = error;
        return result;
    }
    return recordedIoctl(file, error, code, data, size);
}

// The switch's sweep sends up to 256 disables a loop turn this way. The
// descriptor is checked once for the whole run.
void SimBoard::ioctlEach(int fd, std::uint32_t code, unsigned char* records, std::size_t size, std::size_t count)
{
    int error = 0;
    SimOpenFile* file = find(fd, error);
    if (file != nullptr && quiet() && records != nullptr && size == IoctlCode::size(code)) {
        file->driver->ioctlEach(*file, code, records, size, count);
        return;
    }
    for (std::size_t i = 0; i < count; ++i)
        recordedIoctl(file, error, code, records + i * size, size);
}

// Every other request on the open found (null: `error` says why): the record,
// faults and checks.
int SimBoard::recordedIoctl(SimOpenFile* file, int error, std::uint32_t code, unsigned char* data, std::size_t size)
{
    Request* request = record(Op::Ioctl, file, code);
    if (request != nullptr && data != nullptr)
        request->data.assign(data, data + size);
    if (file != nullptr) {
        error = takeFault(Op::Ioctl, file->device, code);
        if (error == 0 && (data == nullptr || size != IoctlCode::size(code)))
            error = EINVAL;
    }
    int result = error == 0 ? file->driver->ioctl(*file, code, data, size, error) : -1;
    if (request != nullptr && result >= 0)
        request->reply.assign(data, data + size);
    return finish(request, result, result < 0 ? error : 0);
}

int SimBoard::ioctlValue(int fd, std::uint32_t code, long value)
{
    int error = 0;
    SimOpenFile* file = find(fd, error);
    Request* request = record(Op::IoctlValue, file, code);
    if (request != nullptr)
        request->value = value;
    if (file != nullptr)
        error = takeFault(Op::IoctlValue, file->device, code);
    int result = error == 0 ? file->driver->ioctlValue(*file, code, value, error) : -1;
    return finish(request, result, result < 0 ? error : 0);
}

ssize_t SimBoard::read(int fd, void* buffer, std::size_t size)
{
    int error = 0;
    SimOpenFile* file = findForLog(fd, error);
    Request* request = record(Op::Read, file);
    error = file != nullptr ? takeFault(Op::Read, file->device, 0) : 0;
    ssize_t n = -1;
    if (error == 0) {
        n = ::read(fd, buffer, size);
        error = n < 0 ? errno : 0;
    }
    if (request != nullptr && n > 0) {
        const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
        request->data.assign(bytes, bytes + n);
    }
    finish(request, n < 0 ? -1 : static_cast<int>(n), error);
    return n;
}

ssize_t SimBoard::write(int fd, const void* buffer, std::size_t size)
{
    int error = 0;
    SimOpenFile* file = findForLog(fd, error);
    Request* request = record(Op::Write, file);
    if (request != nullptr) {
        const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
        request->data.assign(bytes, bytes + size);
    }
    error = file != nullptr ? takeFault(Op::Write, file->device, 0) : 0;
    ssize_t n = -1;
    if (error == 0) {
        n = ::write(fd, buffer, size);
        error = n < 0 ? errno : 0;
    }
    finish(request, n < 0 ? -1 : static_cast<int>(n), error);
    return n;
}

int SimBoard::poll(struct pollfd* fds, nfds_t count, int timeout)
{
    return ::poll(fds, count, timeout);
}

std::vector<SimOpenFile*> SimBoard::opens(const std::string& device)
{
    reap();
    std::vector<SimOpenFile*> result;
    for (auto& entry : opens_)
        if (entry.second->device == device)
            result.push_back(entry.second.get());
    std::sort(result.begin(), result.end(),
              [](const SimOpenFile* a, const SimOpenFile* b) { return a->id < b->id; });
    return result;
}

bool SimBoard::inject(SimOpenFile& file, const void* data, std::size_t size)
{
    return ::send(file.peer, data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

std::vector<unsigned char> SimBoard::takeWritten(SimOpenFile& file)
{
    unsigned char buffer[65536];
    ssize_t n = ::recv(file.peer, buffer, sizeof buffer, MSG_DONTWAIT);
    return n > 0 ? std::vector<unsigned char>(buffer, buffer + n) : std::vector<unsigned char>();
}
