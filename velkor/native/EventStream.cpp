#include "velkor/native/EventStream.h"

#include "common/AsciiText.h"
#include "velkor/native/SseParser.h"

#include <exception>

namespace velkor
{

void EventStream::start(HttpRequest request, EventHandler onEvent, EndHandler onEnd)
{
    stop();
    m_thread = std::jthread(
        [request = std::move(request), onEvent = std::move(onEvent),
         onEnd = std::move(onEnd)](const std::stop_token& stop)
        {
            try
            {
                run(request, onEvent, onEnd, stop);
            }
            catch (const std::exception& error)
            {
                onEnd(std::string("the library failed to follow it: ") + error.what());
            }
        });
}

EventStream::~EventStream()
{
    stop();
}

void EventStream::stop()
{
    m_thread.request_stop();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

void EventStream::run(const HttpRequest& request, const EventHandler& onEvent,
                      const EndHandler& onEnd, const std::stop_token& stop)
{
    SseParser parser(
        [&onEvent](std::string_view type, std::string_view data)
        {
            if (const auto event = DeviceEvent::parse(type, data))
            {
                onEvent(*event);
            }
        });
    bool wrongType = false;
    HttpStreamSink sink;
    sink.onResponse = [&wrongType](std::string_view contentType)
    {
        wrongType = !common::AsciiText::startsWithNoCase(common::AsciiText::trim(contentType),
                                                         "text/event-stream");
        return !wrongType;
    };
    sink.onData = [&parser](const char* data, std::size_t size) { return parser.feed(data, size); };

    const HttpResult result = HttpClient::stream(request, sink, stop);
    if (result.outcome == HttpResult::Outcome::Stopped || stop.stop_requested())
    {
        return;
    }
    std::string description;
    if (wrongType)
    {
        description = "the device's event stream has the wrong content type";
    }
    else if (parser.failed())
    {
        description = "the device's event stream is malformed: " + parser.error();
    }
    else
    {
        description = HttpClient::describe(result, "the device", "its event stream");
    }
    onEnd(description);
}

} // namespace velkor
