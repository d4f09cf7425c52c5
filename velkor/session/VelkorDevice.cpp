#include "velkor/session/VelkorDevice.h"

#include "velkor/native/DeviceInfoParser.h"
#include "velkor/native/LiveStream.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"

namespace velkor
{
namespace
{

DeviceAnswer refusal(int32_t code, std::string description)
{
    return DeviceAnswer{code, std::move(description), {}};
}

} // namespace

VelkorDevice::VelkorDevice(SettingsSnapshot settings) : m_settings(std::move(settings)) {}

std::string VelkorDevice::name() const
{
    return "the device at " + HttpClient::baseUrl(m_settings.address, m_settings.port);
}

DeviceAnswer VelkorDevice::identify(const std::stop_token& stop) const
{
    return answerTo(HttpClient::fetch(requestFor("/velkor/info"), stop));
}

DeviceAnswer VelkorDevice::answerTo(const HttpResult& result) const
{
    const std::string what = HttpClient::describe(result, name(), "its info");
    switch (result.outcome)
    {
    case HttpResult::Outcome::Unreachable:
        return refusal(DeviceUnreachable, what);
    case HttpResult::Outcome::TimedOut:
        return refusal(DeviceTimedOut, what);
    case HttpResult::Outcome::Refused:
        return refusal(NotVelkorDevice,
                       name() + " sent an oversized answer; it is not a velkor device");
    case HttpResult::Outcome::Stopped:
    case HttpResult::Outcome::TransportFailed:
        return refusal(DeviceRequestFailed, what);
    case HttpResult::Outcome::Completed:
        break;
    }
    if (result.status == 401)
    {
        const bool anonymous = m_settings.userName.empty() && m_settings.password.empty();
        return refusal(CredentialsRefused, anonymous
                                               ? name() + " requires a user name and password"
                                               : name() + " refused the user name and password");
    }
    if (result.status == 503)
    {
        return refusal(DeviceBusy, "device busy: " + name() +
                                       " serves no more connections at the moment (HTTP 503)");
    }
    if (result.status != 200)
    {
        return refusal(NotVelkorDevice, what + "; it is not a velkor device");
    }
    auto info = DeviceInfoParser::parse(result.body);
    if (!info)
    {
        return refusal(NotVelkorDevice, name() + " does not describe itself as a velkor device");
    }
    return DeviceAnswer{Ok, {}, std::move(*info)};
}

std::unique_ptr<EventFollower> VelkorDevice::followEvents(EventStream::EventHandler onEvent,
                                                          EventStream::EndHandler onEnd) const
{
    HttpRequest request = requestFor("/velkor/events");
    request.totalTimeoutMs = 0;
    request.stallTimeoutMs = kEventSilence.count();
    auto events = std::make_unique<EventStream>();
    events->start(std::move(request), std::move(onEvent), std::move(onEnd));
    return events;
}

std::unique_ptr<StreamSource> VelkorDevice::liveSource(PictureSink& output,
                                                       std::unique_ptr<LiveObserver> observer) const
{
    HttpRequest device = requestFor("");
    device.totalTimeoutMs = 0;
    device.stallTimeoutMs = kLiveSilence.count();
    return std::make_unique<LiveStream>(output, std::move(observer), std::move(device));
}

HttpRequest VelkorDevice::requestFor(const std::string& path) const
{
    HttpRequest request;
    request.url = HttpClient::baseUrl(m_settings.address, m_settings.port) + path;
    request.userName = m_settings.userName;
    request.password = m_settings.password;
    return request;
}

} // namespace velkor
