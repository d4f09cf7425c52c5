#include "tests/velkor/support/SilentRtspCamera.h"

#include "tests/velkor/support/RtspAnswer.h"

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
    connection.send(RtspAnswer::jpegDescription(head, "Silent"));
}

} // namespace velkortest
