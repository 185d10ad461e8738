#pragma once
// The eight line interfaces (BRI ports) behind the SPI bus of "/dev/hal":
// channel set-up, clock master selection, and while a controller is connected
// a poll of every channel's line status each second, reported as trunkStatus
// signals of type bri. Takes no commands.
//
// The device is opened on first need (the constructor, then any channel
// operation while it is closed). A device that answers ENODEV has no SPI: the
// service turns itself off for the rest of the process.
#include <ostream>

#include "control/CtrlSrvService.h"
#include "runtime/Timer.h"

class BoardDevice;

class spiCtrl : public CtrlSrv::Service {
public:
    static constexpr unsigned kPollMs = 1000;

    // The process's service on the process's board.
    static spiCtrl& instance();

    // Opens the device and prepares channels 0..6.
    spiCtrl();
    explicit spiCtrl(BoardDevice& board);
    // With the device open: disables the eight channels, releases the clock
    // master and closes the device.
    ~spiCtrl() override;
    spiCtrl(const spiCtrl&) = delete;
    spiCtrl& operator=(const spiCtrl&) = delete;

    void OnConnect() override;
    void OnDisconnect() override;
    bool OnCommand(const LGCP::Command&) override { return false; }

    // Register access; nothing (read: 0) while closed or off, 0 after a failure.
    void write(int channel, int address, int value);
    int read(int channel, int address);

    void init_channel(int channel);
    void enable_channel(int channel);
    void disable_channel(int channel);
    // Channel 0..7 becomes clock master; -1: none is.
    void clock(int channel);
    void init_device_and_channels();
    // One poll of the eight channels; re-arms itself.
    void status();

    // The trunk state of a line status register value.
    static int lineState(unsigned char status);

    bool isOpenForTest() const { return fd_ >= 0; }
    bool isEnabledForTest() const { return enabled_; }
    bool isPollingForTest() const { return timer_.get() != nullptr; }

private:
    // Checks shared by the channel operations; false when the operation stops.
    bool channelUsable(int channel, bool inRange, const char* what);
    // A failed access; ENODEV turns the service off.
    void accessFailed(int error);
    int slips(unsigned char status);

    BoardDevice& board_;
    int fd_ = -1;
    Timer timer_;
    bool enabled_ = true;
    // One latch for all channels, in poll order.
    bool slip_ = false;
};
