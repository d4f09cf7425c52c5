#include "HttpClient.h"

#include "CurlRuntime.h"
#include "TextRules.h"

#include <curl/curl.h>
#include <strings.h>

#include <memory>

namespace velkor
{
namespace
{

constexpr std::size_t kMaxFetchedBody = std::size_t{64} * 1024;

struct Transfer
{
    const HttpStreamSink* sink = nullptr;
    std::string* body = nullptr;
    CURL* easy = nullptr;
    std::string contentType;
    bool passing = false;
    bool refused = false;
};

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* context)
{
    auto* transfer = static_cast<Transfer*>(context);
    const std::string_view line(data, size * count);
    if (line.substr(0, 5) == "HTTP/")
    {
        transfer->contentType.clear();
        transfer->passing = false;
    }
    else if (line.size() >= 13 && strncasecmp(line.data(), "content-type:", 13) == 0)
    {
        std::string_view value = line.substr(13);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        {
            value.remove_prefix(1);
        }
        while (!value.empty() &&
               (value.back() == '\r' || value.back() == '\n' || value.back() == ' '))
        {
            value.remove_suffix(1);
        }
        transfer->contentType = value;
    }
    else if (line == "\r\n" || line == "\n")
    {
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        if (status == 200)
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
    const std::size_t length = size * count;
    if (!transfer->passing)
    {
        return length;
    }
    if (transfer->body != nullptr)
    {
        if (transfer->body->size() + length > kMaxFetchedBody)
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
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs);
    if (request.stallTimeoutS > 0)
    {
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, request.stallTimeoutS);
    }
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    if (!request.userName.empty() || !request.password.empty())
    {
        curl_easy_setopt(handle, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
        curl_easy_setopt(handle, CURLOPT_USERNAME, request.userName.c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, request.password.c_str());
    }
    return easy;
}

HttpResult finish(CURLcode code, const Transfer& transfer, const char* errorBuffer)
{
    HttpResult result;
    curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &result.status);
    result.detail = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
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

} // namespace

std::string HttpClient::baseUrl(const std::string& host, int port)
{
    const bool bracket = TextRules::isIpv6Literal(host);
    return std::string("http://") + (bracket ? "[" : "") + host + (bracket ? "]" : "") + ":" +
           std::to_string(port);
}

HttpResult HttpClient::fetch(const HttpRequest& request)
{
    Transfer transfer;
    std::string body;
    transfer.body = &body;
    char errorBuffer[CURL_ERROR_SIZE];
    EasyHandle easy = prepare(request, transfer, errorBuffer);
    if (!easy)
    {
        return HttpResult{HttpResult::Outcome::TransportFailed, 0, {}, "libcurl unavailable"};
    }
    HttpResult result = finish(curl_easy_perform(easy.get()), transfer, errorBuffer);
    result.body = std::move(body);
    return result;
}

HttpResult HttpClient::stream(const HttpRequest& request, const HttpStreamSink& sink,
                              const std::atomic<bool>& stop)
{
    Transfer transfer;
    transfer.sink = &sink;
    char errorBuffer[CURL_ERROR_SIZE];
    EasyHandle easy = prepare(request, transfer, errorBuffer);
    CURLM* multi = curl_multi_init();
    if (!easy || multi == nullptr)
    {
        if (multi != nullptr)
        {
            curl_multi_cleanup(multi);
        }
        return HttpResult{HttpResult::Outcome::TransportFailed, 0, {}, "libcurl unavailable"};
    }
    curl_multi_add_handle(multi, easy.get());
    CURLcode code = CURLE_OK;
    bool done = false;
    while (!done && !stop.load())
    {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK)
        {
            code = CURLE_RECV_ERROR;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued))
        {
            if (message->msg == CURLMSG_DONE)
            {
                code = message->data.result;
                done = true;
            }
        }
        if (!done)
        {
            curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        }
    }
    const bool stopped = !done && stop.load();
    HttpResult result = finish(code, transfer, errorBuffer);
    if (stopped)
    {
        result.outcome = HttpResult::Outcome::Stopped;
    }
    curl_multi_remove_handle(multi, easy.get());
    curl_multi_cleanup(multi);
    return result;
}

} // namespace velkor
