#include "device/EventStream.h"

#include "device/EventBus.h"

#include <string>

namespace velkordevice
{

EventStream::EventStream(EventBus& bus, int channels)
    : m_bus(bus), m_channels(channels), m_seen(bus.latestSequence())
{
}

bool EventStream::write(BodySink& sink, const std::string& text)
{
    return sink.write(text.data(), text.size());
}

bool EventStream::pump(BodySink& sink)
{
    if (!m_greeted)
    {
        m_greeted = true;
        std::string greeting;
        for (int channel = 1; channel <= m_channels; ++channel)
        {
            greeting +=
                EventBus::format("channel", "channel=" + std::to_string(channel) + " status=1");
        }
        return write(sink, greeting);
    }
    const auto events = m_bus.waitAfter(m_seen, std::chrono::milliseconds(1000));
    if (m_bus.isShutDown())
    {
        return false;
    }
    if (events.empty())
    {
        return write(sink, ": keepalive\n\n");
    }
    std::string batch;
    for (const auto& event : events)
    {
        batch += event;
    }
    return write(sink, batch);
}

} // namespace velkordevice
