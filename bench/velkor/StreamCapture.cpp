#include "bench/velkor/StreamCapture.h"

#include "velkor/native/LivePart.h"
#include "velkor/native/MultipartParser.h"
#include "velkor/net/HttpClient.h"

#include <optional>
#include <stop_token>

namespace velkortest
{

std::vector<CapturedPart> StreamCapture::capture(const std::string& url, std::size_t count,
                                                 std::string& error)
{
    std::vector<CapturedPart> parts;
    std::optional<velkor::MultipartParser> parser;
    const std::stop_source stop;
    velkor::HttpStreamSink sink;
    sink.onResponse = [&](std::string_view contentType)
    {
        const auto boundary = velkor::MultipartParser::boundaryOf(contentType);
        if (!boundary)
        {
            return false;
        }
        parser.emplace(
            *boundary,
            [&, boundary = *boundary](const velkor::MultipartPart& part)
            {
                CapturedPart captured;
                captured.body.assign(reinterpret_cast<const char*>(part.body), part.size);
                captured.bytes = "--" + boundary + "\r\n";
                for (const auto& [name, value] : part.headers)
                {
                    captured.bytes.append(name).append(": ").append(value).append("\r\n");
                }
                captured.bytes.append("\r\n").append(captured.body).append("\r\n");
                captured.keyframe = velkor::LivePart::read(part).keyframe.value_or(true);
                parts.push_back(std::move(captured));
            });
        return true;
    };
    sink.onData = [&](const char* data, std::size_t size) {
        return parser->feed(reinterpret_cast<const std::uint8_t*>(data), size) &&
               parts.size() < count;
    };
    velkor::HttpRequest request;
    request.url = url;
    request.totalTimeoutMs = 0;
    request.stallTimeoutMs = 10000;
    const velkor::HttpResult result = velkor::HttpClient::stream(request, sink, stop.get_token());
    if (parts.size() < count)
    {
        error = "read " + std::to_string(parts.size()) + " parts of " + url + " (HTTP " +
                std::to_string(result.status) + ", " + result.detail + ")";
        parts.clear();
    }
    parts.resize(std::min(parts.size(), count));
    return parts;
}

} // namespace velkortest
