#include "velkor/native/LiveStream.h"

#include "velkor/decode/PictureSink.h"
#include "velkor/native/FramePipeline.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"
#include "velkor/stats/LiveStatistics.h"

#include <exception>

namespace velkor
{

LiveStream::LiveStream(PictureSink& output, std::unique_ptr<LiveObserver> observer,
                       HttpRequest device, Target target)
    : m_output(output), m_observer(std::move(observer)), m_device(std::move(device)),
      m_target(target)
{
}

LiveStream::~LiveStream()
{
    stop();
}

void LiveStream::start(int32_t channel, StreamChoice choice)
{
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_choice = choice;
        m_switching = false;
        m_stopping = false;
    }
    m_running = true;
    m_thread = std::jthread(
        [this, channel]
        {
            try
            {
                run(channel);
            }
            catch (const std::exception& error)
            {
                m_observer->onEnded(InternalFailure,
                                    "live play of channel " + std::to_string(channel) +
                                        " failed inside the library: " + error.what());
            }
            m_running = false;
        });
}

void LiveStream::retune(StreamChoice choice)
{
    std::lock_guard lock(m_mutex);
    if (choice == m_choice)
    {
        return;
    }
    m_choice = choice;
    m_switching = true;
    m_interrupt.request_stop();
}

void LiveStream::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_interrupt.request_stop();
    }
    m_thread.request_stop();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

std::string LiveStream::pathFor(int32_t channel, StreamChoice choice)
{
    std::string path = "/velkor/live?channel=" + std::to_string(channel) +
                       "&width=" + std::to_string(choice.width);
    if (choice.codec != VideoCodec::Jpeg)
    {
        path += "&format=" + std::string(StreamFormats::protocolName(choice.codec));
    }
    return path;
}

void LiveStream::run(int32_t channel)
{
    FramePipeline pipeline(&m_output, *m_observer);
    bool announced = false;
    while (true)
    {
        StreamChoice choice;
        std::stop_token interrupt;
        bool stopped = false;
        {
            std::lock_guard lock(m_mutex);
            stopped = m_stopping;
            choice = m_choice;
            m_switching = false;
            if (!stopped)
            {
                m_interrupt = std::stop_source();
                interrupt = m_interrupt.get_token();
            }
        }
        if (stopped)
        {
            m_observer->onEnded(Ok, {});
            return;
        }
        const Attempt attempt = request(channel, choice, pipeline, announced, interrupt);
        const HttpResult& result = attempt.result;
        bool switching = false;
        {
            std::lock_guard lock(m_mutex);
            stopped = m_stopping;
            switching = m_switching;
        }
        if (stopped || (result.outcome == HttpResult::Outcome::Stopped && !switching))
        {
            m_observer->onEnded(Ok, {});
            return;
        }
        if (switching)
        {
            continue;
        }
        reportEnd(result, attempt.notMultipart,
                  pipeline.failed() ? pipeline.error() : std::string(), channel);
        return;
    }
}

LiveStream::Attempt LiveStream::request(int32_t channel, StreamChoice choice,
                                        FramePipeline& pipeline, bool& announced,
                                        const std::stop_token& interrupt)
{
    HttpRequest request = m_device;
    if (m_target == Target::DevicePath)
    {
        request.url += pathFor(channel, choice);
    }
    Attempt attempt;
    HttpStreamSink sink;
    sink.onResponse = [&](std::string_view contentType)
    {
        const auto boundary = MultipartParser::boundaryOf(contentType);
        if (!boundary)
        {
            attempt.notMultipart = true;
            return false;
        }
        pipeline.restart(*boundary, choice.codec);
        if (LiveStatistics* statistics = m_output.statistics())
        {
            // The credentials travel apart from the URL.
            statistics->describeSource(m_target == Target::DevicePath
                                           ? m_device.url + " channel " + std::to_string(channel)
                                           : m_device.url,
                                       m_target == Target::DevicePath ? "velkor HTTP"
                                                                      : "multipart HTTP");
        }
        if (!announced)
        {
            announced = true;
            m_observer->onPlaying();
        }
        return true;
    };
    sink.onData = [&pipeline](const char* data, std::size_t size)
    { return pipeline.feed(reinterpret_cast<const std::uint8_t*>(data), size); };
    attempt.result = HttpClient::stream(request, sink, interrupt);
    return attempt;
}

void LiveStream::reportEnd(const HttpResult& result, bool notMultipart,
                           const std::string& malformed, int32_t channel)
{
    const std::string which = "the live stream of channel " + std::to_string(channel);
    if (notMultipart)
    {
        m_observer->onEnded(StreamMalformed, which + " is not a multipart stream");
    }
    else if (!malformed.empty())
    {
        m_observer->onEnded(StreamMalformed, which + " is malformed: " + malformed);
    }
    else
    {
        const bool refused = result.status != 200 && result.status != 0;
        m_observer->onEnded(refused ? StreamRefused : StreamLost,
                            HttpClient::describe(result, "the device", which));
    }
}

} // namespace velkor
