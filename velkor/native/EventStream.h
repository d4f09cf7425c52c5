#pragma once

#include "velkor/native/DeviceEvent.h"
#include "velkor/net/HttpClient.h"
#include "velkor/report/EventFollower.h"

#include <functional>
#include <stop_token>
#include <string>
#include <thread>

namespace velkor
{

// Follows GET /velkor/events on a thread of its own and hands each known event to onEvent.
// When the stream ends by itself (the device went away, stopped answering, or sent something
// that is no event stream) it calls onEnd once with a description; stop() ends it silently.
class EventStream final : public EventFollower
{
public:
    using EventHandler = std::function<void(const DeviceEvent&)>;
    using EndHandler = std::function<void(const std::string& description)>;

    EventStream() = default;
    ~EventStream() override;
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    void start(HttpRequest request, EventHandler onEvent, EndHandler onEnd);
    void stop();

private:
    static void run(const HttpRequest& request, const EventHandler& onEvent,
                    const EndHandler& onEnd, const std::stop_token& stop);

    std::jthread m_thread;
};

} // namespace velkor
