#pragma once

#include "device/BodySink.h"

#include <cstdint>
#include <string>

namespace velkordevice
{

class EventBus;

// One reader of /velkor/events: the channel states first, then every new event, with a
// keepalive comment whenever a second passes without one.
class EventStream
{
public:
    EventStream(EventBus& bus, int channels);

    // Writes whatever is due; false ends the response.
    bool pump(BodySink& sink);

private:
    bool write(BodySink& sink, const std::string& text);

    EventBus& m_bus;
    int m_channels;
    uint64_t m_seen;
    bool m_greeted = false;
};

} // namespace velkordevice
