#include "tests/velkor/support/ClosingCamera.h"

#include "tests/velkor/support/RtspAnswer.h"

#include <chrono>
#include <thread>

namespace velkortest
{

ClosingCamera::ClosingCamera()
    : m_server([this](const std::string&, const std::string& head, LoopbackConnection& connection)
               { serve(head, connection); })
{
}

std::string ClosingCamera::url(const std::string& host) const
{
    return "rtsp://" + host + ":" + std::to_string(m_server.port()) + "/closing";
}

bool ClosingCamera::waitForStream() const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_streams.load() == 0 && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_streams.load() > 0;
}

void ClosingCamera::serve(const std::string& head, LoopbackConnection& connection)
{
    if (head.rfind("DESCRIBE ", 0) != 0)
    {
        ++m_streams;
        return;
    }
    ++m_questions;
    connection.send(RtspAnswer::jpegDescription(head, "Closing"));
}

} // namespace velkortest
