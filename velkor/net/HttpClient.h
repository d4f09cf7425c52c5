#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

namespace velkor
{

struct HttpRequest
{
    enum class Method
    {
        Get,
        // An RTSP DESCRIBE of the URL; the answer's status and body (SDP) come back as for GET.
        RtspDescribe,
        // `body` sent as `contentType`; the answer's body comes back whatever its status, since
        // SOAP tells its faults in the bodies of 400 and 500.
        Post
    };

    Method method = Method::Get;
    std::string url;
    std::string body;
    std::string contentType;
    // The most of a fetched body that is taken; a longer one ends as Refused.
    std::size_t maxBodyBytes = std::size_t{64} * 1024;
    std::string userName;
    std::string password;
    long connectTimeoutMs = 2000;
    // Whole transfer; 0 for a stream that runs until stopped.
    long totalTimeoutMs = 3000;
    // A stream that delivers nothing for this long is given up; 0 never.
    long stallTimeoutMs = 0;
};

struct HttpResult
{
    enum class Outcome
    {
        Completed,
        Unreachable,
        TimedOut,
        Stopped,
        Refused,
        TransportFailed
    };

    Outcome outcome = Outcome::TransportFailed;
    long status = 0;
    std::string body;
    std::string detail;
    // The status line's words after the code ("Service Unavailable"), printable ASCII only.
    std::string reason;
    // The Location header of the final answer as the peer sent it (at most 2 KiB), when it
    // redirects; libcurl follows no redirect.
    std::string location;
    // An RTSP request answered in HTTP: the URL names a web server.
    bool answeredInHttp = false;
};

// Receives a streamed body. onResponse sees the final response's Content-Type when its status is
// 200 and may refuse it; onData gets the body in pieces and may end the transfer by returning
// false. Bodies of other statuses (a 401 before the credentials go out, an error page) never
// reach it.
struct HttpStreamSink
{
    std::function<bool(std::string_view contentType)> onResponse;
    std::function<bool(const char* data, std::size_t size)> onData;
};

// GET, POST (and RTSP DESCRIBE) requests through libcurl, with Digest or Basic authentication when
// credentials are set and never through a proxy: the device is on the local network.
class HttpClient
{
public:
    static std::string baseUrl(const std::string& host, int port);
    // What became of a request for `what` ("its info", "the live stream of channel 1") from
    // `device` ("the device at http://..."), for messages: the HTTP status when it was an error,
    // else how the transfer ended.
    static std::string describe(const HttpResult& result, const std::string& device,
                                const std::string& what);

    // Reads a small body (at most the request's maxBodyBytes) whole. A stop requested meanwhile
    // ends it at once with the outcome Stopped.
    static HttpResult fetch(const HttpRequest& request, const std::stop_token& stop);
    // Runs until the body ends, the sink refuses, the connection breaks, nothing arrives for the
    // request's stall time, or a stop is requested, which ends it at once.
    static HttpResult stream(const HttpRequest& request, const HttpStreamSink& sink,
                             const std::stop_token& stop);
};

} // namespace velkor
