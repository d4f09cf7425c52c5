#include "device/DeviceServer.h"

#include "device/AsciiText.h"
#include "device/ChannelSource.h"
#include "device/EventStream.h"
#include "device/LiveStream.h"
#include "device/StreamFormats.h"

#include <sys/socket.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>
#include <thread>

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

// cpp-httplib keeps one of pairs written alike (`channel=1&channel=1`), so the names are also
// counted as written.
std::optional<std::string> repeatedParameter(const httplib::Request& request)
{
    for (const auto& [name, value] : request.params)
    {
        if (request.get_param_value_count(name) > 1)
        {
            return name;
        }
    }
    const std::size_t question = request.target.find('?');
    std::set<std::string_view> names;
    std::string_view query(request.target);
    query.remove_prefix(question == std::string::npos ? query.size() : question + 1);
    while (!query.empty())
    {
        const std::string_view pair = query.substr(0, query.find('&'));
        query.remove_prefix(std::min(query.size(), pair.size() + 1));
        const std::string_view name = pair.substr(0, pair.find('='));
        if (!name.empty() && !names.insert(name).second)
        {
            return std::string(name);
        }
    }
    return std::nullopt;
}

void plain(httplib::Response& response, int status, const std::string& body)
{
    response.status = status;
    response.set_content(body, kTextPlain);
}

} // namespace

DeviceServer::DeviceServer(const DeviceConfig& config)
    : m_config(config), m_authenticator(config.auth, config.user, config.password,
                                        std::chrono::seconds(config.nonceLifetimeSeconds)),
      m_alarms(m_events, config.channels,
               std::chrono::milliseconds(config.alarmIntervalSeconds * 1000LL)),
      m_server(RequestLimits{}, static_cast<std::size_t>(config.maxConnections))
{
    for (int channel = 1; channel <= config.channels; ++channel)
    {
        m_channels.push_back(std::make_shared<ChannelSource>(channel, config.fps, config.loop));
    }

    m_server.set_socket_options(
        [](socket_t sock)
        {
            int one = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            int size = kSendBufferBytes;
            setsockopt(sock, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        });
    m_server.set_tcp_nodelay(true);
    installRoutes();
}

DeviceServer::~DeviceServer()
{
    stop();
}

int DeviceServer::bind()
{
    const int port = m_config.port == 0 ? m_server.bind_to_any_port(m_config.address)
                     : m_server.bind_to_port(m_config.address, m_config.port) ? m_config.port
                                                                              : -1;
    if (port > 0)
    {
        m_server.widenBacklog();
    }
    return port;
}

bool DeviceServer::run()
{
    m_runEntered = true;
    if (m_stopping)
    {
        m_runReturned = true;
        return true;
    }
    for (auto& channel : m_channels)
    {
        channel->start();
    }
    m_alarms.start();
    const bool ok = m_server.listen_after_bind();
    m_runReturned = true;
    return ok;
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
    if (!m_runEntered)
    {
        return;
    }
    // listen_after_bind() ignores stop() until it has marked itself running.
    while (!m_server.is_running() && !m_runReturned)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
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

httplib::Server::HandlerResponse DeviceServer::screen(const httplib::Request& request,
                                                      httplib::Response& response)
{
    const AuthDecision decision = m_authenticator.check(request.method, request.target,
                                                        request.get_header_value("Authorization"));
    if (decision.allowed)
    {
        return httplib::Server::HandlerResponse::Unhandled;
    }
    for (const auto& challenge : decision.challenges)
    {
        response.headers.emplace("WWW-Authenticate", challenge);
    }
    plain(response, 401, "authentication required\n");
    return httplib::Server::HandlerResponse::Handled;
}

void DeviceServer::installRoutes()
{
    m_server.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response)
        { return screen(request, response); });
    m_server.set_error_handler(
        [](const httplib::Request&, httplib::Response& response)
        {
            if (!response.body.empty() || response.content_length_ != 0)
            {
                return;
            }
            response.set_content(response.status == 404 ? "not found\n" : "request refused\n",
                                 kTextPlain);
        });
    m_server.Get("/velkor/info", [this](const httplib::Request&, httplib::Response& response)
                 { plain(response, 200, infoBody()); });
    m_server.Get("/velkor/live",
                 [this](const httplib::Request& request, httplib::Response& response)
                 { serveLive(request, response); });
    m_server.Get("/velkor/events", [this](const httplib::Request&, httplib::Response& response)
                 { serveEvents(response); });
}

void DeviceServer::serveLive(const httplib::Request& request, httplib::Response& response)
{
    if (const auto repeated = repeatedParameter(request))
    {
        return plain(response, 400, "parameter " + *repeated + " is given more than once\n");
    }
    const auto channel = parseNumber(request.get_param_value("channel"));
    if (!channel || *channel < 1 || *channel > m_config.channels)
    {
        return plain(response, 404, "no such channel\n");
    }
    const auto format = request.has_param("format")
                            ? StreamFormats::parse(request.get_param_value("format"))
                            : std::optional<StreamFormat>(StreamFormat::Jpeg);
    if (!format)
    {
        return plain(response, 400, "format must be one of " + StreamFormats::nameList() + "\n");
    }
    const auto width = parseNumber(request.get_param_value("width"));
    if (!width || !StreamFormats::offersWidth(*format, *width))
    {
        return plain(response, 400,
                     "width must be one of " + StreamFormats::widthList(*format) + " for " +
                         StreamFormats::name(*format) + "\n");
    }
    LiveStream::Framing framing = LiveStream::Framing::Multipart;
    if (request.has_param("framing"))
    {
        const std::string value = request.get_param_value("framing");
        if (value != "multipart" && value != "raw")
        {
            return plain(response, 400, "framing must be multipart or raw\n");
        }
        framing = value == "raw" ? LiveStream::Framing::Raw : LiveStream::Framing::Multipart;
    }

    auto stream = std::make_shared<LiveStream>(m_channels[static_cast<std::size_t>(*channel - 1)],
                                               StreamKey{*format, *width}, framing);
    response.set_header("Cache-Control", "no-cache, no-store");
    response.set_content_provider(stream->contentType(),
                                  [stream](std::size_t, httplib::DataSink& sink)
                                  { return stream->pump(sink); });
}

void DeviceServer::serveEvents(httplib::Response& response)
{
    auto stream = std::make_shared<EventStream>(m_events, m_config.channels);
    response.set_header("Cache-Control", "no-cache, no-store");
    response.set_content_provider("text/event-stream",
                                  [stream](std::size_t, httplib::DataSink& sink)
                                  { return stream->pump(sink); });
}

} // namespace velkordevice
