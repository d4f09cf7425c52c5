#include "FakeDevice.h"

#include "TestJpeg.h"

#include <chrono>
#include <thread>
#include <vector>

namespace velkortest
{

FakeDevice::FakeDevice() : FakeDevice(Options{}) {}

FakeDevice::FakeDevice(Options options) : m_options(std::move(options))
{
    m_server = std::make_unique<LoopbackServer>(
        [this](const std::string& path, const std::string&, LoopbackConnection& connection)
        { handle(path, connection); });
}

void FakeDevice::pushEvent(const std::string& kind, const std::string& data)
{
    std::lock_guard lock(m_mutex);
    m_pending.push_back("event: " + kind + "\ndata: " + data + "\n\n");
}

std::string FakeDevice::multipartHead(const std::string& boundary)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=" + boundary +
           "\r\nConnection: close\r\n\r\n";
}

std::string FakeDevice::part(const std::string& boundary, const std::string& jpeg)
{
    return "--" + boundary +
           "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) +
           "\r\n\r\n" + jpeg + "\r\n";
}

void FakeDevice::handle(const std::string& path, LoopbackConnection& connection)
{
    if (path == "/velkor/info")
    {
        connection.send(
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
            std::to_string(m_options.info.size()) + "\r\nConnection: close\r\n\r\n" +
            m_options.info);
    }
    else if (path == "/velkor/events")
    {
        serveEvents(connection);
    }
    else if (path.rfind("/velkor/live", 0) == 0)
    {
        serveLive(path, connection);
    }
    else
    {
        connection.send("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    }
}

void FakeDevice::serveEvents(LoopbackConnection& connection)
{
    if (!connection.send(
            "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nConnection: close\r\n\r\n"
            "event: channel\ndata: channel=1 status=1\n\n"
            "event: channel\ndata: channel=2 status=1\n\n"))
    {
        return;
    }
    int idle = 0;
    while (!connection.stopping())
    {
        std::string next;
        {
            std::lock_guard lock(m_mutex);
            if (!m_pending.empty())
            {
                next = m_pending.front();
                m_pending.pop_front();
            }
        }
        if (next.empty() && ++idle % 10 == 0)
        {
            next = ": keepalive\n\n";
        }
        if (!next.empty() && !connection.send(next))
        {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void FakeDevice::serveLive(const std::string& path, LoopbackConnection& connection)
{
    if (m_options.live)
    {
        m_options.live(connection);
        return;
    }
    int width = 320;
    if (const auto at = path.find("width="); at != std::string::npos)
    {
        width = std::stoi(path.substr(at + 6));
    }
    const int height = width * 3 / 4;
    std::vector<std::string> frames;
    frames.reserve(4);
    for (int phase = 0; phase < 4; ++phase)
    {
        frames.push_back(makeJpeg(width, height, phase));
    }
    if (!connection.send(multipartHead("velkorframe")))
    {
        return;
    }
    for (std::size_t n = 0; !connection.stopping(); ++n)
    {
        if (!connection.send(part("velkorframe", frames[n % frames.size()])))
        {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
}

} // namespace velkortest
