#pragma once
// Records exchanged with the RTP drivers ("/dev/rtp", "/dev/rtp_ext"), kept
// as the driver's bytes (big-endian fields at fixed offsets) with an accessor
// per field, and their diagnostic printers. Only the fields read here are
// known so far; each record is sized to hold them, and the slot types that
// fill the records extend them with the rest of the driver's layout.
#include <array>
#include <cstddef>
#include <cstdint>
#include <ostream>

#include "board/BigEndian.h"

// The "/dev/rtp" session record.
struct rtp_connection_params {
    static constexpr std::size_t kSize = 28;
    std::array<unsigned char, kSize> bytes{};

    std::uint16_t get_rx_pt() const { return BigEndian::getU16(&bytes[14]); }
    std::uint16_t get_tx_pt() const { return BigEndian::getU16(&bytes[16]); }
    std::uint16_t get_packet_factor() const { return BigEndian::getU16(&bytes[18]); }
    std::uint32_t get_ssrc() const { return BigEndian::getU32(&bytes[24]); }
    void set_rx_pt(std::uint16_t v) { BigEndian::putU16(&bytes[14], v); }
    void set_tx_pt(std::uint16_t v) { BigEndian::putU16(&bytes[16], v); }
    void set_packet_factor(std::uint16_t v) { BigEndian::putU16(&bytes[18], v); }
    void set_ssrc(std::uint32_t v) { BigEndian::putU32(&bytes[24], v); }
};

// The "/dev/rtp" channel record.
struct rtp_channel_info {
    static constexpr std::size_t kSize = 12;
    std::array<unsigned char, kSize> bytes{};

    std::int32_t get_tdm() const { return BigEndian::getI32(&bytes[0]); }
    std::int32_t get_dev_no() const { return BigEndian::getI32(&bytes[4]); }
    std::int32_t get_chn() const { return BigEndian::getI32(&bytes[8]); }
    void set_tdm(std::int32_t v) { BigEndian::putI32(&bytes[0], v); }
    void set_dev_no(std::int32_t v) { BigEndian::putI32(&bytes[4], v); }
    void set_chn(std::int32_t v) { BigEndian::putI32(&bytes[8], v); }
};

// The attach records of "/dev/rtp" and "/dev/rtp_ext" share one layout.
struct rtp_attach_record {
    static constexpr std::size_t kSize = 8;
    std::array<unsigned char, kSize> bytes{};

    std::int32_t get_fd_rtp() const { return BigEndian::getI32(&bytes[0]); }
    std::int32_t get_pid_rtp() const { return BigEndian::getI32(&bytes[4]); }
    void set_fd_rtp(std::int32_t v) { BigEndian::putI32(&bytes[0], v); }
    void set_pid_rtp(std::int32_t v) { BigEndian::putI32(&bytes[4], v); }
};

struct rtp_attach_session_params : rtp_attach_record {};
struct rtp_ext_attach_session_params : rtp_attach_record {};

// The "/dev/rtp_ext" init record, of which only the leading `etype` is known.
struct rtp_ext_init_params {
    static constexpr std::size_t kSize = 2;
    std::array<unsigned char, kSize> bytes{};

    std::uint16_t get_etype() const { return BigEndian::getU16(&bytes[0]); }
    void set_etype(std::uint16_t v) { BigEndian::putU16(&bytes[0], v); }
};

// Blocks of indented lines, one per field printed, in the stream's number format.
std::ostream& operator<<(std::ostream& os, const rtp_connection_params& p);
std::ostream& operator<<(std::ostream& os, const rtp_attach_session_params& p);
std::ostream& operator<<(std::ostream& os, const rtp_ext_attach_session_params& p);
std::ostream& operator<<(std::ostream& os, const rtp_ext_init_params& p);
// One piece of a line, no end of line.
std::ostream& operator<<(std::ostream& os, const rtp_channel_info& p);

// An event read from "/dev/rtp": its type, then two words whose meaning
// depends on it (type 1, packet detector: value and time-out).
struct rtp_event {
    static constexpr std::size_t kSize = 12;
    static constexpr std::uint32_t kPacketDetector = 1;
    std::array<unsigned char, kSize> bytes{};

    std::uint32_t get_type() const { return BigEndian::getU32(&bytes[0]); }
    std::int32_t get_value() const { return BigEndian::getI32(&bytes[4]); }
    std::int32_t get_timeout() const { return BigEndian::getI32(&bytes[8]); }
    void set_type(std::uint32_t v) { BigEndian::putU32(&bytes[0], v); }
    void set_value(std::int32_t v) { BigEndian::putI32(&bytes[4], v); }
    void set_timeout(std::int32_t v) { BigEndian::putI32(&bytes[8], v); }
};
