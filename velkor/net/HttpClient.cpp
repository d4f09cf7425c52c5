#include "velkor/net/HttpClient.h"

#include "common/AsciiText.h"
#include "velkor/net/CurlRuntime.h"
#include "velkor/net/TextRules.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace velkor
{
namespace
{

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxLocation = 2048;
// The longest single wait for the sockets; curl shortens it to its own timers, a stop ends it.
constexpr int kLongestWaitMs = 1000;

struct HeaderListDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Transfer
{
    std::unique_ptr<curl_slist, HeaderListDeleter> headers;
    const HttpStreamSink* sink = nullptr;
    std::string* body = nullptr;
    std::size_t maxBody = 0;
    // Every final answer's body is passed on, not only a 200's.
    bool anyStatus = false;
    CURL* easy = nullptr;
    std::string contentType;
    std::string reason;
    std::string location;
    // The first bytes of a body that came without a status line (HTTP/0.9, to libcurl).
    std::string opening;
    bool passing = false;
    bool refused = false;
    Clock::time_point lastArrival;
};

// "Service Unavailable" of "RTSP/1.0 503 Service Unavailable\r\n"; at most 64 printable bytes.
std::string reasonOf(std::string_view statusLine)
{
    const std::size_t code = statusLine.find(' ');
    const std::size_t words =
        code == std::string_view::npos ? code : statusLine.find(' ', code + 1);
    std::string reason;
    for (std::size_t i = words == std::string_view::npos ? statusLine.size() : words + 1;
         i < statusLine.size() && reason.size() < 64; ++i)
    {
        const char c = statusLine[i];
        if (c >= 0x20 && c < 0x7F)
        {
            reason += c;
        }
    }
    return std::string(common::AsciiText::trim(reason));
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* context)
{
    auto* transfer = static_cast<Transfer*>(context);
    transfer->lastArrival = Clock::now();
    const std::string_view line(data, size * count);
    if (line.substr(0, 5) == "HTTP/" || line.substr(0, 5) == "RTSP/")
    {
        transfer->contentType.clear();
        transfer->location.clear();
        transfer->reason = reasonOf(line);
        transfer->passing = false;
    }
    else if (common::AsciiText::startsWithNoCase(line, "content-type:"))
    {
        transfer->contentType = common::AsciiText::trim(line.substr(13));
    }
    else if (common::AsciiText::startsWithNoCase(line, "location:"))
    {
        transfer->location = common::AsciiText::trim(line.substr(9).substr(0, kMaxLocation));
    }
    else if (line == "\r\n" || line == "\n")
    {
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        if (transfer->anyStatus && transfer->body != nullptr)
        {
            // Only the last answer's body counts: a 401 that libcurl answers with credentials
            // had one too.
            transfer->body->clear();
            transfer->passing = status >= 200;
        }
        else if (status == 200)
        {
            transfer->passing = true;
            if (transfer->sink != nullptr && transfer->sink->onResponse &&
                !transfer->sink->onResponse(transfer->contentType))
            {
                transfer->refused = true;
                return 0;
            }
        }
    }
    return size * count;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context)
{
    auto* transfer = static_cast<Transfer*>(context);
    transfer->lastArrival = Clock::now();
    const std::size_t length = size * count;
    if (!transfer->passing)
    {
        const std::size_t wanted = 5 - std::min<std::size_t>(5, transfer->opening.size());
        transfer->opening.append(data, std::min(wanted, length));
        return length;
    }
    if (transfer->body != nullptr)
    {
        if (transfer->body->size() + length > transfer->maxBody)
        {
            transfer->refused = true;
            return 0;
        }
        transfer->body->append(data, length);
    }
    if (transfer->sink != nullptr && transfer->sink->onData &&
        !transfer->sink->onData(data, length))
    {
        transfer->refused = true;
        return 0;
    }
    return length;
}

struct EasyDeleter
{
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

void setMethod(CURL* handle, const HttpRequest& request, Transfer& transfer)
{
    if (request.method == HttpRequest::Method::RtspDescribe)
    {
        // So that an answer in HTTP reaches onBody, which tells it apart from one in RTSP.
        curl_easy_setopt(handle, CURLOPT_HTTP09_ALLOWED, 1L);
        curl_easy_setopt(handle, CURLOPT_RTSP_REQUEST, static_cast<long>(CURL_RTSPREQ_DESCRIBE));
        curl_easy_setopt(handle, CURLOPT_RTSP_STREAM_URI, request.url.c_str());
    }
    else if (request.method == HttpRequest::Method::Post)
    {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.c_str());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
        curl_slist* headers =
            curl_slist_append(nullptr, ("Content-Type: " + request.contentType).c_str());
        // The body goes at once: waiting for a 100 Continue costs a second with a peer that
        // never sends one.
        if (curl_slist* more = headers == nullptr ? nullptr : curl_slist_append(headers, "Expect:"))
        {
            headers = more;
        }
        transfer.headers.reset(headers);
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, transfer.headers.get());
        transfer.anyStatus = true;
    }
}

EasyHandle prepare(const HttpRequest& request, Transfer& transfer, char* errorBuffer)
{
    if (!CurlRuntime::ensureInitialised())
    {
        return nullptr;
    }
    EasyHandle easy(curl_easy_init());
    if (!easy)
    {
        return nullptr;
    }
    CURL* handle = easy.get();
    transfer.easy = handle;
    errorBuffer[0] = '\0';
    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // A stop leaves the resolver's thread behind instead of joining it: a name server that does
    // not answer holds getaddrinfo for some 10 s.
    curl_easy_setopt(handle, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    setMethod(handle, request, transfer);
    if (!request.userName.empty() || !request.password.empty())
    {
        // Only what the device may ask for: libcurl's CURLAUTH_ANY would also try NTLM and
        // Negotiate.
        curl_easy_setopt(handle, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST | CURLAUTH_BASIC);
        curl_easy_setopt(handle, CURLOPT_USERNAME, request.userName.c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, request.password.c_str());
    }
    return easy;
}

HttpResult finish(CURLcode code, const Transfer& transfer, const char* errorBuffer)
{
    HttpResult result;
    curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &result.status);
    result.reason = transfer.reason;
    result.location = transfer.location;
    result.answeredInHttp = transfer.opening == "HTTP/";
    result.detail = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
    if (code == CURLE_OUT_OF_MEMORY)
    {
        // What libcurl (7.x) says of a header line over the 100 KiB it takes.
        result.detail = "it sent a header of over 100 KiB, more than is taken";
    }
    switch (code)
    {
    case CURLE_OK:
        result.outcome = HttpResult::Outcome::Completed;
        break;
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
        result.outcome = HttpResult::Outcome::Unreachable;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        result.outcome = HttpResult::Outcome::TimedOut;
        break;
    default:
        result.outcome =
            transfer.refused ? HttpResult::Outcome::Refused : HttpResult::Outcome::TransportFailed;
        break;
    }
    return result;
}

struct MultiDeleter
{
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

enum class End
{
    Done,
    Stalled,
    Stopped
};

struct Ending
{
    End end = End::Done;
    CURLcode code = CURLE_OK;
};

// Runs the transfer until it is done, nothing arrived for the request's stall time, or a stop is
// requested.
Ending drive(CURLM* multi, const HttpRequest& request, Transfer& transfer,
             const std::stop_token& stop)
{
    // curl's own low-speed check averages over its window and notices silence late; this one
    // counts from the last byte that arrived.
    const auto stallTime = std::chrono::milliseconds(request.stallTimeoutMs);
    transfer.lastArrival = Clock::now();
    while (true)
    {
        int running = 0;
        if (stop.stop_requested())
        {
            return {End::Stopped, CURLE_OK};
        }
        if (curl_multi_perform(multi, &running) != CURLM_OK)
        {
            return {End::Done, CURLE_RECV_ERROR};
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued))
        {
            if (message->msg == CURLMSG_DONE)
            {
                return {End::Done, message->data.result};
            }
        }
        int waitMs = kLongestWaitMs;
        if (request.stallTimeoutMs > 0)
        {
            const auto quiet = Clock::now() - transfer.lastArrival;
            if (quiet >= stallTime)
            {
                return {End::Stalled, CURLE_OK};
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(stallTime - quiet);
            waitMs = static_cast<int>(std::min<long long>(left.count(), waitMs));
        }
        curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
    }
}

HttpResult perform(const HttpRequest& request, Transfer& transfer, const std::stop_token& stop)
{
    char errorBuffer[CURL_ERROR_SIZE];
    EasyHandle easy = prepare(request, transfer, errorBuffer);
    MultiHandle multi(curl_multi_init());
    if (!easy || !multi)
    {
        HttpResult unavailable;
        unavailable.detail = "libcurl unavailable";
        return unavailable;
    }
    curl_multi_add_handle(multi.get(), easy.get());
    Ending ending;
    {
        // Wakes the poll of the multi handle, which lives as long as the callback.
        CURLM* const handle = multi.get();
        const std::stop_callback wake(stop, [handle] { curl_multi_wakeup(handle); });
        ending = drive(multi.get(), request, transfer, stop);
    }
    HttpResult result = finish(ending.code, transfer, errorBuffer);
    if (ending.end == End::Stalled)
    {
        result.outcome = HttpResult::Outcome::TimedOut;
        result.detail =
            "nothing arrived for " + std::to_string(request.stallTimeoutMs) + " milliseconds";
    }
    else if (ending.end == End::Stopped)
    {
        result.outcome = HttpResult::Outcome::Stopped;
    }
    curl_multi_remove_handle(multi.get(), easy.get());
    return result;
}

} // namespace

std::string HttpClient::baseUrl(const std::string& host, int port)
{
    const bool bracket = TextRules::isIpv6Literal(host);
    return std::string("http://") + (bracket ? "[" : "") + host + (bracket ? "]" : "") + ":" +
           std::to_string(port);
}

std::string HttpClient::describe(const HttpResult& result, const std::string& device,
                                 const std::string& what)
{
    if (result.status != 200 && result.status != 0)
    {
        return device + " answered HTTP " + std::to_string(result.status) + " for " + what;
    }
    switch (result.outcome)
    {
    case HttpResult::Outcome::Completed:
        return device + " ended " + what;
    case HttpResult::Outcome::Unreachable:
        return "cannot reach " + device + " for " + what + ": " + result.detail;
    case HttpResult::Outcome::TimedOut:
        return device + " did not answer in time for " + what + ": " + result.detail;
    case HttpResult::Outcome::Refused:
        return device + " sent " + what + " in a form the library refuses";
    case HttpResult::Outcome::Stopped:
    case HttpResult::Outcome::TransportFailed:
        break;
    }
    return "talking to " + device + " about " + what + " failed: " + result.detail;
}

HttpResult HttpClient::fetch(const HttpRequest& request, const std::stop_token& stop)
{
    Transfer transfer;
    std::string body;
    transfer.body = &body;
    transfer.maxBody = request.maxBodyBytes;
    HttpResult result = perform(request, transfer, stop);
    result.body = std::move(body);
    return result;
}

HttpResult HttpClient::stream(const HttpRequest& request, const HttpStreamSink& sink,
                              const std::stop_token& stop)
{
    Transfer transfer;
    transfer.sink = &sink;
    return perform(request, transfer, stop);
}

} // namespace velkor
