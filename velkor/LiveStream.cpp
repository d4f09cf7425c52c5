#include "LiveStream.h"

#include "FramePipeline.h"
#include "LiveObserver.h"
#include "ResultCode.h"

#include <optional>

namespace velkor
{

LiveStream::LiveStream(VideoOutput& output, std::unique_ptr<LiveObserver> observer)
    : m_output(output), m_observer(std::move(observer))
{
}

LiveStream::~LiveStream()
{
    stop();
}

void LiveStream::start(HttpRequest request, int32_t channel)
{
    m_thread.start([this, request = std::move(request), channel](const std::atomic<bool>& stop)
                   { run(request, channel, stop); });
}

void LiveStream::stop()
{
    m_thread.stop();
}

void LiveStream::run(const HttpRequest& request, int32_t channel, const std::atomic<bool>& stop)
{
    std::optional<FramePipeline> pipeline;
    bool notMultipart = false;
    HttpStreamSink sink;
    sink.onResponse = [&](std::string_view contentType)
    {
        const auto boundary = MultipartParser::boundaryOf(contentType);
        if (!boundary)
        {
            notMultipart = true;
            return false;
        }
        pipeline.emplace(*boundary, &m_output, *m_observer);
        m_observer->onPlaying();
        return true;
    };
    sink.onData = [&pipeline](const char* data, std::size_t size)
    { return pipeline->feed(reinterpret_cast<const std::uint8_t*>(data), size); };

    const HttpResult result = HttpClient::stream(request, sink, stop);
    const std::string which = "live stream of channel " + std::to_string(channel);
    if (result.outcome == HttpResult::Outcome::Stopped || stop.load())
    {
        m_observer->onEnded(Ok, {});
    }
    else if (notMultipart)
    {
        m_observer->onEnded(StreamMalformed, "the " + which + " is not a multipart stream");
    }
    else if (pipeline && pipeline->failed())
    {
        m_observer->onEnded(StreamMalformed,
                            "the " + which + " is malformed: " + pipeline->error());
    }
    else if (result.status != 200 && result.status != 0)
    {
        m_observer->onEnded(StreamRefused, "the device refused the " + which + " (HTTP " +
                                               std::to_string(result.status) + ")");
    }
    else if (result.outcome == HttpResult::Outcome::Unreachable)
    {
        m_observer->onEnded(StreamLost,
                            "cannot reach the device for the " + which + ": " + result.detail);
    }
    else if (result.outcome == HttpResult::Outcome::TimedOut)
    {
        m_observer->onEnded(StreamLost, "the device stopped sending the " + which);
    }
    else if (result.outcome == HttpResult::Outcome::Completed)
    {
        m_observer->onEnded(StreamLost, "the device ended the " + which);
    }
    else
    {
        m_observer->onEnded(StreamLost, "the " + which + " broke off: " + result.detail);
    }
}

} // namespace velkor
