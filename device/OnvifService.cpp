#include "device/OnvifService.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "device/SoapEnvelope.h"

#include <libxml/parser.h>

namespace velkordevice
{

namespace
{

HttpReply notFound()
{
    HttpReply reply;
    reply.status = 404;
    reply.body = "not found\n";
    return reply;
}

// Only what a host and port are made of may go into the addresses we hand out. Some clients
// (libonvif) leave the port out of Host: the one they reached is meant, not HTTP's 80. A
// `named` host replaces the one reached, as a camera names its own behind port forwarding.
std::string baseUrl(const std::string& host, const std::string& listening, const std::string& named)
{
    const bool plain = !host.empty() && host.size() < 256 &&
                       host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789.-:[]") == std::string::npos;
    std::string authority = plain ? host : listening;
    const bool hasPort = authority.back() != ']' && authority.find(':') != std::string::npos &&
                         (authority.front() != '[' || authority.find("]:") != std::string::npos);
    if (!hasPort)
    {
        authority += listening.substr(listening.rfind(':'));
    }
    if (!named.empty())
    {
        authority = named + authority.substr(authority.rfind(':'));
    }
    return "http://" + authority;
}

} // namespace

OnvifService::OnvifService(const DeviceConfig& config, Authenticator& authenticator, EventBus& bus,
                           const AlarmSchedule& alarms)
    : m_config(config), m_authenticator(authenticator), m_tokens(config.user, config.password),
      m_device(config), m_media(config), m_events(config, bus, alarms)
{
    // Once, before any connection's thread parses.
    xmlInitParser();
}

bool OnvifService::owns(const std::string& path)
{
    return path.rfind(kPrefix, 0) == 0;
}

HttpReply OnvifService::serve(const HttpRequest& request, const std::string& listening)
{
    if (request.method() != "POST")
    {
        HttpReply reply;
        reply.status = 405;
        reply.body = "ONVIF services take POST\n";
        reply.headers.emplace_back("Allow", "POST");
        return reply;
    }
    const std::string& path = request.path();
    if (path != OnvifDeviceService::kPath && path != OnvifMediaService::kPath &&
        path != OnvifEventService::kPath && pullPointId(path).empty())
    {
        return notFound();
    }
    const common::SoapMessage message = common::SoapMessage::parse(request.body());
    // Before the message is judged: a client that is not let in learns nothing of it, and one
    // that probes with an empty body (as libcurl does) gets the challenge it asks for.
    if (auto refused = refusal(request, message))
    {
        return *refused;
    }
    switch (message.problem())
    {
    case common::SoapMessage::Problem::Malformed:
        return SoapEnvelope::reply(
            SoapAnswer::failed(SoapFault::sender({"ter:WellFormed"}, "XML Well-formed violation")));
    case common::SoapMessage::Problem::NotSoap12:
        return SoapEnvelope::reply(SoapAnswer::failed(
            SoapFault{"env:VersionMismatch", {}, "A SOAP 1.2 envelope with a body is expected"}));
    case common::SoapMessage::Problem::None:
        break;
    }
    const OnvifCall call{message.operation(), message.header(),
                         baseUrl(request.header("Host"), listening, m_config.onvifNamedHost), now(),
                         [&request] { return request.clientHasLeft(); }};
    return SoapEnvelope::reply(dispatch(path, call));
}

std::optional<HttpReply> OnvifService::refusal(const HttpRequest& request,
                                               const common::SoapMessage& message)
{
    if (m_config.user.empty() ||
        common::XmlTree::is(message.operation(), common::SoapNamespaces::kDevice,
                            "GetSystemDateAndTime"))
    {
        return std::nullopt;
    }
    const std::string authorization = request.header("Authorization");
    AuthDecision http;
    if (!authorization.empty())
    {
        http = m_authenticator.check(request.method(), request.target(), authorization);
        if (http.allowed)
        {
            return std::nullopt;
        }
    }
    switch (m_tokens.check(message.header(), now()))
    {
    case UsernameTokenGuard::Verdict::Accepted:
        return std::nullopt;
    case UsernameTokenGuard::Verdict::Refused:
        return SoapEnvelope::reply(SoapAnswer::failed(SoapFault::notAuthorized()));
    case UsernameTokenGuard::Verdict::Absent:
        break;
    }
    // No token: the client may mean HTTP authentication, so it is challenged for it.
    if (authorization.empty())
    {
        http = m_authenticator.check(request.method(), request.target(), authorization);
    }
    HttpReply reply = SoapEnvelope::reply(SoapAnswer::failed(SoapFault::notAuthorized()));
    reply.status = 401;
    for (const auto& challenge : http.challenges)
    {
        reply.headers.emplace_back("WWW-Authenticate", challenge);
    }
    return reply;
}

std::chrono::system_clock::time_point OnvifService::now() const
{
    return std::chrono::system_clock::now() +
           std::chrono::seconds(m_config.onvifClockOffsetSeconds);
}

SoapAnswer OnvifService::dispatch(const std::string& path, const OnvifCall& call)
{
    if (path == OnvifDeviceService::kPath)
    {
        return m_device.answer(call);
    }
    if (path == OnvifMediaService::kPath)
    {
        return m_media.answer(call);
    }
    if (path == OnvifEventService::kPath)
    {
        return m_events.answer(call);
    }
    return m_events.answerPullPoint(pullPointId(path), call);
}

std::string OnvifService::pullPointId(const std::string& path)
{
    const std::string prefix = OnvifEventService::kPullPointPrefix;
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0 ||
        path.find('/', prefix.size()) != std::string::npos)
    {
        return {};
    }
    return path.substr(prefix.size());
}

} // namespace velkordevice
