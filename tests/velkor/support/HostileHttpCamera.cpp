#include "tests/velkor/support/HostileHttpCamera.h"

#include <chrono>

namespace velkortest
{
namespace
{

constexpr long long kPartBytes = 800000000;

const std::string kStreamHead = "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace;"
                                "boundary=b\r\n\r\n--b\r\nContent-Type: image/jpeg\r\n";

} // namespace

HostileHttpCamera::HostileHttpCamera(Mode mode, std::string location)
    : m_mode(mode), m_location(std::move(location)),
      m_server([this](const std::string&, const std::string& head, LoopbackConnection& connection)
               { serve(head, connection); })
{
}

std::string HostileHttpCamera::url() const
{
    return "http://127.0.0.1:" + std::to_string(m_server.port()) + "/video.mjpg";
}

void HostileHttpCamera::serve(const std::string& head, LoopbackConnection& connection)
{
    if (m_mode == Mode::HugeHeader)
    {
        connection.send("HTTP/1.1 200 OK\r\nX-Padding: " + std::string(100 << 10, 'A') + "\r\n");
        connection.waitUntilStopping();
        return;
    }
    if (head.find("User-Agent: Lavf") == std::string::npos)
    {
        connection.send(kStreamHead + "Content-Length: 4\r\n\r\n\xFF\xD8\xFF\xD9\r\n");
        connection.waitUntilStopping();
        return;
    }
    ++m_conversations;
    if (m_mode == Mode::Redirect)
    {
        connection.send("HTTP/1.1 302 Found\r\nLocation: " + m_location +
                        "\r\nContent-Length: 0\r\n\r\n");
        return;
    }
    connection.send(kStreamHead + "Content-Length: " + std::to_string(kPartBytes) +
                    "\r\n\r\n\xFF\xD8");
    const std::string chunk(1 << 16, '\xAA');
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (m_partBytes.load() < kPartBytes && std::chrono::steady_clock::now() < until &&
           connection.send(chunk))
    {
        m_partBytes += static_cast<long long>(chunk.size());
    }
}

} // namespace velkortest
