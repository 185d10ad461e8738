#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

#include "board/RtpRecords.h"
#include "hardware/DeviceNames.h"
#include "hardware/RtpErr.h"

TEST(DeviceNames, Paths)
{
    EXPECT_STREQ(GetVoiceDevName(), "/dev/voice");
    EXPECT_STREQ(GetMixerDevName(), "/dev/mixer");
    EXPECT_STREQ(GetDTMFDevName(), "/dev/dtmf");
    EXPECT_STREQ(GetDSPDevName(), "/dev/dsp");
    EXPECT_STREQ(GetRtpDevName(), "/dev/rtp");
    EXPECT_STREQ(GetRtpExtDevName(), "/dev/rtp_ext");
    EXPECT_STREQ(GetModemDevName(), "/dev/mctl");
    EXPECT_STREQ(GetMaintenance(), "/dev/maintenance");
    EXPECT_STREQ(GetSpiTdmDevName(), "/dev/spi_tdm");
    EXPECT_EQ(GetDSPDevName(), GetDSPDevName());    // one string for the whole process
}

TEST(DeviceNames, CodecNamesAndTheirBounds)
{
    const char* const names[] = {"unknown", "g711", "g723", "g729", "tonec",
                                 "g711-rtp", "g729-rtp", "g723-rtp", "conf"};
    for (int i = 0; i < 9; ++i)
        EXPECT_STREQ(GetCodecAsStr(i), names[i]) << i;
    EXPECT_STREQ(GetCodecAsStr(9), "invalid");
    EXPECT_STREQ(GetCodecAsStr(-1), "invalid");
    EXPECT_STREQ(GetCodecAsStr(INT32_MIN), "invalid");
}

TEST(RtpErr, KeepsTheErrnoOfItsMakingAndPrintsOnlyItsText)
{
    errno = ENOENT;
    RtpErr err(-7);
    errno = EIO;
    std::ostringstream os;
    err.Put(os);
    EXPECT_EQ(os.str(), "No such file or directory");
    EXPECT_EQ(err.code(), -7);
}

TEST(RtpRecords, FieldsSitAtTheirDriverOffsets)
{
    rtp_connection_params c;
    c.set_rx_pt(0x0108);
    c.set_tx_pt(0x0012);
    c.set_packet_factor(0xFFFE);
    c.set_ssrc(0xDEADBEEF);
    const std::array<unsigned char, 28> golden = {
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x01, 0x08, 0x00, 0x12, 0xFF, 0xFE, 0, 0, 0, 0,
        0xDE, 0xAD, 0xBE, 0xEF,
    };
    EXPECT_EQ(c.bytes, golden);

    rtp_channel_info ch;
    ch.bytes = {0x00, 0x00, 0x00, 0x03, 0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(ch.get_tdm(), 3);
    EXPECT_EQ(ch.get_dev_no(), -2);
    EXPECT_EQ(ch.get_chn(), 256);

    rtp_ext_init_params init;
    init.bytes = {0x80, 0x01};
    EXPECT_EQ(init.get_etype(), 0x8001u);
}

TEST(RtpRecords, BlockPrinters)
{
    rtp_connection_params c;
    c.set_rx_pt(8);
    c.set_tx_pt(18);
    c.set_packet_factor(65535);
    c.set_ssrc(4294967295u);
    std::ostringstream os;
    os << c;
    EXPECT_EQ(os.str(),
              "  rtp_connection_params\n"
              "  {\n"
              "   packet_factor = 65535\n"
              "   rx_pt = 8\n"
              "   tx_pt = 18\n"
              "   ssrc = 4294967295\n"
              "  }\n");

    rtp_attach_session_params a;
    a.set_fd_rtp(12);
    a.set_pid_rtp(-1);
    rtp_ext_attach_session_params e;
    e.set_fd_rtp(3);
    e.set_pid_rtp(400);
    rtp_ext_init_params i;
    i.set_etype(0x10);
    os.str("");
    os << a << e << std::hex << i;
    EXPECT_EQ(os.str(),
              "  rtp_attach_session_params\n  {\n   fd_rtp = 12\n   pid_rtp = -1\n  }\n"
              "  rtp_ext_attach_session_params\n  {\n   fd_rtp = 3\n   pid_rtp = 400\n  }\n"
              "  rtp_ext_init_params\n  {\n   etype = 10\n  }\n");
}

TEST(RtpRecords, ChannelInfoIsAPieceOfALine)
{
    rtp_channel_info ch;
    ch.set_tdm(3);
    ch.set_dev_no(0);
    ch.set_chn(7);
    std::ostringstream os;
    os << ch;
    EXPECT_EQ(os.str(), "rtp_channel_info { tdm=3 dev_no=0 chn=7 }");
}
