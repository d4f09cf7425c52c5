#include "tests/velkor/support/RtspAnswer.h"

namespace velkortest::RtspAnswer
{

std::string jpegDescription(const std::string& head, const std::string& name)
{
    const auto cseq = head.find("CSeq: ");
    const std::string sdp =
        "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=" + name + "\r\nm=video 0 RTP/AVP 26\r\n";
    return "RTSP/1.0 200 OK\r\n" + head.substr(cseq, head.find("\r\n", cseq) - cseq + 2) +
           "Content-Type: application/sdp\r\nContent-Length: " + std::to_string(sdp.size()) +
           "\r\n\r\n" + sdp;
}

} // namespace velkortest::RtspAnswer
