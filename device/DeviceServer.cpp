#include "device/DeviceServer.h"

#include "device/AsciiText.h"
#include "device/ChannelSource.h"
#include "device/EventStream.h"
#include "device/LiveStream.h"
#include "device/StreamFormats.h"

#include <sys/socket.h>

#include <optional>
#include <utility>

namespace velkordevice
{

namespace
{

constexpr const char* kTextPlain = "text/plain; charset=utf-8";
// Small enough that a stalled reader holds at most a frame or two in the kernel, so it sees
// fresh pictures as soon as it reads again. Accepted sockets inherit it from the listener.
constexpr int kSendBufferBytes = 128 * 1024;

// Numbers in a request are written one way only: decimal digits, no sign and no leading zero.
std::optional<int> parseNumber(const std::string& text)
{
    if (text.size() > 9 || (text.size() > 1 && text.front() == '0'))
    {
        return std::nullopt;
    }
    const auto value = AsciiText::parseDecimal(text);
    if (!value)
    {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

HttpReply plain(int status, std::string body)
{
    HttpReply reply;
    reply.status = status;
    reply.contentType = kTextPlain;
    reply.body = std::move(body);
    return reply;
}

} // namespace

DeviceServer::DeviceServer(const DeviceConfig& config)
    : m_config(config), m_authenticator(config.auth, config.user, config.password,
                                        std::chrono::seconds(config.nonceLifetimeSeconds)),
      m_alarms(m_events, config.channels,
               std::chrono::milliseconds(config.alarmIntervalSeconds * 1000LL)),
      m_onvif(config, m_authenticator, m_events, m_alarms),
      m_server(RequestLimits{}, static_cast<std::size_t>(config.maxConnections),
               [this](const HttpRequest& request) { return route(request); })
{
    for (int channel = 1; channel <= config.channels; ++channel)
    {
        m_channels.push_back(std::make_shared<ChannelSource>(channel, config.fps, config.loop));
    }
}

DeviceServer::~DeviceServer()
{
    stop();
}

int DeviceServer::bind()
{
    m_boundPort = m_server.bind(m_config.address, m_config.port,
                                [](int socket)
                                {
                                    int one = 1;
                                    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
                                    int size = kSendBufferBytes;
                                    setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
                                });
    return m_boundPort;
}

std::string DeviceServer::listeningHost() const
{
    const bool ipv6 = m_config.address.find(':') != std::string::npos;
    return (ipv6 ? "[" + m_config.address + "]" : m_config.address) + ":" +
           std::to_string(m_boundPort);
}

bool DeviceServer::run()
{
    if (m_stopping)
    {
        return true;
    }
    for (auto& channel : m_channels)
    {
        channel->start();
    }
    m_alarms.start();
    return m_server.run();
}

void DeviceServer::stop()
{
    m_stopping = true;
    m_events.shutdown();
    m_alarms.stop();
    for (auto& channel : m_channels)
    {
        channel->stop();
    }
    m_server.shutdown();
}

std::string DeviceServer::infoBody() const
{
    std::string body = "device=velkor-device\nuid=" + std::to_string(m_config.uid) +
                       "\nchannels=" + std::to_string(m_config.channels) +
                       "\nformats=" + StreamFormats::nameList() +
                       "\nwidths=" + StreamFormats::widthList(StreamFormat::Jpeg) + "\n";
    for (StreamFormat format : StreamFormats::all())
    {
        if (format != StreamFormat::Jpeg)
        {
            body += "widths." + StreamFormats::name(format) + "=" +
                    StreamFormats::widthList(format) + "\n";
        }
    }
    return body + "version=2\n";
}

HttpReply DeviceServer::route(const HttpRequest& request)
{
    // ONVIF decides for itself who may ask: some of its questions need no credentials.
    if (m_config.onvifProtocol && OnvifService::owns(request.path()))
    {
        return m_onvif.serve(request, listeningHost());
    }
    const AuthDecision decision =
        m_authenticator.check(request.method(), request.target(), request.header("Authorization"));
    if (!decision.allowed)
    {
        HttpReply reply = plain(401, "authentication required\n");
        for (const auto& challenge : decision.challenges)
        {
            reply.headers.emplace_back("WWW-Authenticate", challenge);
        }
        return reply;
    }
    // Without the velkor protocol the stream stays: it is what ONVIF's stream addresses name.
    if ((request.method() != "GET" && !request.isHead()) ||
        (!m_config.velkorProtocol && request.path() != "/velkor/live"))
    {
        return plain(404, "not found\n");
    }
    if (request.path() == "/velkor/info")
    {
        return plain(200, infoBody());
    }
    if (request.path() == "/velkor/live")
    {
        return serveLive(request);
    }
    if (request.path() == "/velkor/events")
    {
        return serveEvents();
    }
    return plain(404, "not found\n");
}

HttpReply DeviceServer::serveLive(const HttpRequest& request)
{
    if (const auto repeated = request.repeatedParam())
    {
        return plain(400, "parameter " + *repeated + " is given more than once\n");
    }
    const auto channel = parseNumber(request.param("channel"));
    if (!channel || *channel < 1 || *channel > m_config.channels)
    {
        return plain(404, "no such channel\n");
    }
    const auto format = request.hasParam("format")
                            ? StreamFormats::parse(request.param("format"))
                            : std::optional<StreamFormat>(StreamFormat::Jpeg);
    if (!format)
    {
        return plain(400, "format must be one of " + StreamFormats::nameList() + "\n");
    }
    const auto width = parseNumber(request.param("width"));
    if (!width || !StreamFormats::offersWidth(*format, *width))
    {
        return plain(400, "width must be one of " + StreamFormats::widthList(*format) + " for " +
                              StreamFormats::name(*format) + "\n");
    }
    LiveStream::Framing framing = LiveStream::Framing::Multipart;
    if (request.hasParam("framing"))
    {
        const std::string value = request.param("framing");
        if (value != "multipart" && value != "raw")
        {
            return plain(400, "framing must be multipart or raw\n");
        }
        framing = value == "raw" ? LiveStream::Framing::Raw : LiveStream::Framing::Multipart;
    }

    auto stream = std::make_shared<LiveStream>(m_channels[static_cast<std::size_t>(*channel - 1)],
                                               StreamKey{*format, *width}, framing);
    HttpReply reply;
    reply.contentType = stream->contentType();
    reply.headers.emplace_back("Cache-Control", "no-cache, no-store");
    reply.stream = [stream](BodySink& sink) { return stream->pump(sink); };
    return reply;
}

HttpReply DeviceServer::serveEvents()
{
    auto stream = std::make_shared<EventStream>(m_events, m_config.channels);
    HttpReply reply;
    reply.contentType = "text/event-stream";
    reply.headers.emplace_back("Cache-Control", "no-cache, no-store");
    reply.stream = [stream](BodySink& sink) { return stream->pump(sink); };
    return reply;
}

} // namespace velkordevice
