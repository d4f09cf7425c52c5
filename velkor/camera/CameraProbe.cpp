#include "velkor/camera/CameraProbe.h"

#include "velkor/camera/CameraCredentials.h"
#include "velkor/camera/CameraText.h"
#include "velkor/camera/CameraUrl.h"
#include "velkor/camera/MjpegStreamHead.h"
#include "velkor/camera/RedirectGuard.h"
#include "velkor/camera/SdpVideo.h"
#include "velkor/net/HttpClient.h"
#include "velkor/net/Pause.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <chrono>
#include <stop_token>

namespace velkor
{
namespace
{

constexpr std::chrono::milliseconds kBusyPatience{500};
constexpr std::chrono::milliseconds kBusyPause{100};

CameraAnswer refusal(int32_t code, std::string description)
{
    return CameraAnswer{code, std::move(description), std::nullopt};
}

// Open's codes for what the transfer itself came to, or Ok when an answer came.
CameraAnswer transferFault(const HttpResult& result, const std::string& name)
{
    switch (result.outcome)
    {
    case HttpResult::Outcome::Unreachable:
        return refusal(DeviceUnreachable, "cannot reach " + name + ": " + result.detail);
    case HttpResult::Outcome::TimedOut:
        return refusal(DeviceTimedOut, name + " did not answer in time: " + result.detail);
    case HttpResult::Outcome::Stopped:
    case HttpResult::Outcome::TransportFailed:
        return refusal(DeviceRequestFailed, "talking to " + name + " failed: " + result.detail);
    case HttpResult::Outcome::Completed:
    case HttpResult::Outcome::Refused:
        break;
    }
    return refusal(Ok, {});
}

CameraAnswer statusFault(const HttpResult& result, const char* protocol, const std::string& name,
                         const HttpRequest& request, bool anonymous)
{
    const long status = result.status;
    const std::string answered = std::string(protocol) + " " + std::to_string(status);
    if (status == 401)
    {
        return refusal(CredentialsRefused, anonymous
                                               ? name + " requires a user name and password"
                                               : name + " refused the user name and password");
    }
    if (status == 503)
    {
        // 503 says no more than that; its reason phrase may say why.
        return refusal(DeviceBusy, "device busy: " + name +
                                       " could not serve the stream at the moment (" + answered +
                                       (result.reason.empty() ? "" : " " + result.reason) + ")");
    }
    if (status == 404)
    {
        return refusal(NotVelkorDevice, name + " has no stream at that path (" + answered + ")");
    }
    if (status >= 300 && status < 400 && !result.location.empty())
    {
        return refusal(NotVelkorDevice,
                       name + " redirected the stream to " +
                           RedirectGuard::shown(request.url, result.location) + " (" + answered +
                           "); Open follows no redirect: make that the address if it is the "
                           "camera's");
    }
    return refusal(NotVelkorDevice, name + " answered " + answered + "; it plays no stream there");
}

HttpRequest requestFor(const CameraUrl& url, int32_t channel, const std::string& userName,
                       const std::string& password)
{
    HttpRequest request;
    request.url = url.forChannel(channel);
    request.userName = userName;
    request.password = password;
    return request;
}

CameraAnswer askRtsp(HttpRequest request, const std::string& name, bool anonymous,
                     const std::stop_token& stop)
{
    request.method = HttpRequest::Method::RtspDescribe;
    const auto start = std::chrono::steady_clock::now();
    const long answerTimeMs = request.totalTimeoutMs;
    HttpResult result = HttpClient::fetch(request, stop);
    // GStreamer's RTSP server is busy for a moment while it ends a stream whose last client just
    // left (as the question of an Open just before did); a camera busy for longer stays busy.
    // Asked again within Open's time.
    while (result.outcome == HttpResult::Outcome::Completed && result.status == 503 &&
           std::chrono::steady_clock::now() - start < kBusyPatience &&
           !Pause::stopped(stop, kBusyPause))
    {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        request.totalTimeoutMs = std::max(1L, answerTimeMs - static_cast<long>(spent.count()));
        result = HttpClient::fetch(request, stop);
    }
    if (result.outcome == HttpResult::Outcome::Refused)
    {
        return refusal(NotVelkorDevice, name + " sent an oversized session description");
    }
    if (result.answeredInHttp)
    {
        return refusal(DeviceRequestFailed, "talking to " + name +
                                                " failed: it answers in HTTP, not RTSP: is it an " +
                                                "http:// camera?");
    }
    CameraAnswer fault = transferFault(result, name);
    if (fault.code != Ok)
    {
        return fault;
    }
    if (result.status != 200)
    {
        return statusFault(result, "RTSP", name, request, anonymous);
    }
    const auto video = SdpVideo::parse(result.body);
    if (!video)
    {
        return refusal(NotVelkorDevice, name + " offers no video track");
    }
    if (!video->codec)
    {
        return refusal(NotVelkorDevice,
                       name + " sends video as " +
                           (video->encoding.empty() ? "an unnamed encoding"
                                                    : CameraText::printable(video->encoding)) +
                           ", which the library does not decode");
    }
    return CameraAnswer{Ok, {}, video->codec};
}

CameraAnswer askHttp(const HttpRequest& request, const std::string& name, bool anonymous,
                     const std::stop_token& stop)
{
    MjpegStreamHead head;
    HttpStreamSink sink;
    sink.onResponse = [&head](std::string_view contentType)
    {
        head.setContentType(contentType);
        return true;
    };
    sink.onData = [&head](const char* data, std::size_t size) { return head.feed(data, size); };
    const HttpResult result = HttpClient::stream(request, sink, stop);
    CameraAnswer fault = transferFault(result, name);
    if (fault.code != Ok)
    {
        return fault;
    }
    if (result.status != 200)
    {
        return statusFault(result, "HTTP", name, request, anonymous);
    }
    const std::string what = head.fault();
    if (!what.empty())
    {
        return refusal(NotVelkorDevice, name + " answers with " + what);
    }
    return CameraAnswer{Ok, {}, VideoCodec::Jpeg};
}

} // namespace

CameraAnswer CameraProbe::ask(const CameraUrl& url, int32_t channel, const std::string& userName,
                              const std::string& password, const std::stop_token& stop)
{
    // Play would fail on credentials that Open proved through libcurl.
    if (auto fault = CameraCredentials::fault(url.scheme(), userName, password))
    {
        return refusal(TextTooLong, std::move(*fault));
    }
    const HttpRequest request = requestFor(url, channel, userName, password);
    const bool anonymous = userName.empty() && password.empty();
    if (url.scheme() == CameraScheme::Rtsp)
    {
        return askRtsp(request, nameOf(url), anonymous, stop);
    }
    return askHttp(request, nameOf(url), anonymous, stop);
}

std::string CameraProbe::nameOf(const CameraUrl& url)
{
    return "the camera at " + url.text();
}

} // namespace velkor
