#include "tests/velkor/support/SilentRtspCamera.h"

#include <chrono>
#include <thread>

namespace velkortest
{

SilentRtspCamera::SilentRtspCamera()
    : m_server([this](const std::string&, const std::string& head, LoopbackConnection& connection)
               { serve(head, connection); })
{
}

std::string SilentRtspCamera::url() const
{
    return "rtsp://127.0.0.1:" + std::to_string(m_server.port()) + "/silent";
}

bool SilentRtspCamera::waitForConnections(int count) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_silent.load() < count && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_silent.load() >= count;
}

void SilentRtspCamera::serve(const std::string& head, LoopbackConnection& connection)
{
    if (head.rfind("DESCRIBE ", 0) != 0)
    {
        ++m_silent;
        connection.waitUntilStopping();
        return;
    }
    const auto cseq = head.find("CSeq: ");
    const std::string sdp = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=Silent\r\n"
                            "m=video 0 RTP/AVP 26\r\n";
    connection.send("RTSP/1.0 200 OK\r\n" + head.substr(cseq, head.find("\r\n", cseq) - cseq + 2) +
                    "Content-Type: application/sdp\r\nContent-Length: " +
                    std::to_string(sdp.size()) + "\r\n\r\n" + sdp);
}

} // namespace velkortest
