#include "tests/velkor/support/FakeDevice.h"

#include <algorithm>
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

FakeDevice::~FakeDevice()
{
    stop();
}

void FakeDevice::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_server->stop();
}

void FakeDevice::endEventStreams()
{
    {
        std::lock_guard lock(m_mutex);
        m_endingEvents = true;
    }
    m_changed.notify_all();
}

void FakeDevice::goAway(std::string answer)
{
    {
        std::lock_guard lock(m_mutex);
        m_awayAnswer = std::move(answer);
    }
    m_server->dropConnections();
}

void FakeDevice::comeBack(std::optional<std::string> info)
{
    std::lock_guard lock(m_mutex);
    m_awayAnswer.reset();
    if (info)
    {
        m_options.info = std::move(*info);
    }
}

void FakeDevice::pushEvent(const std::string& kind, const std::string& data)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back("event: " + kind + "\ndata: " + data + "\n\n");
    }
    m_changed.notify_all();
}

std::size_t FakeDevice::framesServed() const
{
    std::lock_guard lock(m_mutex);
    return m_framesServed;
}

bool FakeDevice::waitForFramesServed(std::size_t since, std::size_t count,
                                     std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_framesServed >= since + count; });
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

std::string FakeDevice::videoPart(const std::string& format, const AccessUnit& unit,
                                  std::uint64_t frameNumber, std::chrono::milliseconds late)
{
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch() - late);
    return "--velkorframe\r\nContent-Type: " + contentTypeOf(format) +
           "\r\nContent-Length: " + std::to_string(unit.bytes.size()) +
           "\r\nX-Frame: " + std::to_string(frameNumber) +
           "\r\nX-Keyframe: " + (unit.keyframe ? "1" : "0") +
           "\r\nX-Timestamp: " + std::to_string(now.count()) + "\r\n\r\n" + unit.bytes + "\r\n";
}

void FakeDevice::handle(const std::string& path, LoopbackConnection& connection)
{
    std::string info;
    std::optional<std::string> away;
    {
        std::lock_guard lock(m_mutex);
        m_requests.emplace_back(path, std::chrono::steady_clock::now());
        info = m_options.info;
        away = m_awayAnswer;
    }
    m_changed.notify_all();
    if (away)
    {
        connection.send(*away);
        return;
    }
    if (path == "/velkor/info")
    {
        connection.send(
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
            std::to_string(info.size()) + "\r\nConnection: close\r\n\r\n" + info);
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
    if (!connection.send("HTTP/1.1 200 OK\r\nContent-Type: " + m_options.eventsContentType +
                         "\r\nConnection: close\r\n\r\n"
                         "event: channel\ndata: channel=1 status=1\n\n"
                         "event: channel\ndata: channel=2 status=1\n\n"))
    {
        return;
    }
    while (true)
    {
        std::string next;
        {
            std::unique_lock lock(m_mutex);
            const bool woken = m_changed.wait_for(
                lock, std::chrono::seconds(1),
                [this] { return m_stopping || m_endingEvents || !m_pending.empty(); });
            if (m_stopping || (m_endingEvents && m_pending.empty()))
            {
                return;
            }
            if (woken)
            {
                // Everything queued goes out at once, as a device does in a burst of events.
                for (; !m_pending.empty(); m_pending.pop_front())
                {
                    next += m_pending.front();
                }
            }
            else if (m_options.keepalive)
            {
                next = ": keepalive\n\n";
            }
        }
        if (!next.empty() && !connection.send(next))
        {
            return;
        }
    }
}

std::vector<std::string> FakeDevice::liveRequests() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> paths;
    for (const auto& [path, at] : m_requests)
    {
        if (path.rfind("/velkor/live", 0) == 0)
        {
            paths.push_back(path);
        }
    }
    return paths;
}

std::vector<std::chrono::steady_clock::time_point>
FakeDevice::requestTimes(const std::string& prefix) const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::chrono::steady_clock::time_point> times;
    for (const auto& [path, at] : m_requests)
    {
        if (path.rfind(prefix, 0) == 0)
        {
            times.push_back(at);
        }
    }
    return times;
}

bool FakeDevice::waitForRequests(const std::string& prefix, std::size_t count,
                                 std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout,
                              [&]
                              {
                                  return static_cast<std::size_t>(std::count_if(
                                             m_requests.begin(), m_requests.end(),
                                             [&](const auto& request) {
                                                 return request.first.rfind(prefix, 0) == 0;
                                             })) >= count;
                              });
}

bool FakeDevice::servesFormat(const std::string& format) const
{
    std::lock_guard lock(m_mutex);
    const auto line = m_options.info.find("formats=");
    if (line == std::string::npos)
    {
        return format == "jpeg";
    }
    const auto start = line + 8;
    const std::string list =
        "," + m_options.info.substr(start, m_options.info.find('\n', start) - start) + ",";
    return list.find("," + format + ",") != std::string::npos;
}

const std::vector<AccessUnit>& FakeDevice::videoFor(const std::string& format, int width)
{
    std::lock_guard lock(m_mutex);
    auto& video = m_videos[{format, width}];
    if (video.empty())
    {
        video = encodeTestVideo(format, width, m_options.frames, m_options.keyframeInterval);
    }
    return video;
}

void FakeDevice::serveLive(const std::string& path, LoopbackConnection& connection)
{
    if (m_options.live)
    {
        m_options.live(connection);
        return;
    }
    const auto parameter = [&path](const std::string& name) -> std::string
    {
        const auto at = path.find(name + "=");
        if (at == std::string::npos)
        {
            return {};
        }
        const auto value = at + name.size() + 1;
        return path.substr(value, path.find('&', value) - value);
    };
    const std::string format = parameter("format").empty() ? "jpeg" : parameter("format");
    const int width = parameter("width").empty() ? 320 : std::stoi(parameter("width"));
    const std::vector<AccessUnit>& video = videoFor(format, width);
    // A device refuses what it does not list, as the emulator does.
    if (video.empty() || !servesFormat(format))
    {
        connection.send(
            "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        return;
    }
    if (!connection.send(multipartHead("velkorframe")))
    {
        return;
    }
    // The pace of a camera at 25 frames a second, kept by the clock: a picture sent late on a
    // busy machine does not put off all that follow it.
    const auto paced = std::chrono::steady_clock::now();
    for (std::size_t sent = 0; !connection.stopping(); ++sent)
    {
        const std::size_t index =
            (static_cast<std::size_t>(m_options.startAt) + sent) % video.size();
        std::string bytes = video[index].bytes;
        if (m_options.mangle)
        {
            m_options.mangle(sent, bytes);
        }
        const AccessUnit unit{std::move(bytes), video[index].keyframe};
        if (!connection.send(videoPart(format, unit,
                                       static_cast<std::uint64_t>(m_options.startAt) + sent,
                                       m_options.timestampsLate)))
        {
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            ++m_framesServed;
        }
        m_changed.notify_all();
        std::this_thread::sleep_until(paced + std::chrono::milliseconds(40) *
                                                  static_cast<std::int64_t>(sent + 1));
    }
}

} // namespace velkortest
