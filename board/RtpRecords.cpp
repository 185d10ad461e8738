#include "board/RtpRecords.h"

namespace {

const char* const kIndent = "  ";

std::ostream& putAttach(std::ostream& os, const char* name, const rtp_attach_record& p)
{
    os << kIndent << name << std::endl
       << kIndent << "{" << std::endl
       << kIndent << " fd_rtp = " << p.get_fd_rtp() << std::endl
       << kIndent << " pid_rtp = " << p.get_pid_rtp() << std::endl
       << kIndent << "}" << std::endl;
    return os;
}

} // namespace

// packet_factor comes first although rx_pt lies first in the record.
std::ostream& operator<<(std::ostream& os, const rtp_connection_params& p)
{
    os << kIndent << "rtp_connection_params" << std::endl
       << kIndent << "{" << std::endl
       << kIndent << " packet_factor = " << unsigned{p.get_packet_factor()} << std::endl
       << kIndent << " rx_pt = " << unsigned{p.get_rx_pt()} << std::endl
       << kIndent << " tx_pt = " << unsigned{p.get_tx_pt()} << std::endl
       << kIndent << " ssrc = " << p.get_ssrc() << std::endl
       << kIndent << "}" << std::endl;
    return os;
}

std::ostream& operator<<(std::ostream& os, const rtp_attach_session_params& p)
{
    return putAttach(os, "rtp_attach_session_params", p);
}

std::ostream& operator<<(std::ostream& os, const rtp_ext_attach_session_params& p)
{
    return putAttach(os, "rtp_ext_attach_session_params", p);
}

std::ostream& operator<<(std::ostream& os, const rtp_ext_init_params& p)
{
    os << kIndent << "rtp_ext_init_params" << std::endl
       << kIndent << "{" << std::endl
       << kIndent << " etype = " << unsigned{p.get_etype()} << std::endl
       << kIndent << "}" << std::endl;
    return os;
}

std::ostream& operator<<(std::ostream& os, const rtp_channel_info& p)
{
    return os << "rtp_channel_info" << " {" << " tdm=" << p.get_tdm() << " dev_no=" << p.get_dev_no()
              << " chn=" << p.get_chn() << " }";
}
