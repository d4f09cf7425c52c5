#pragma once

#include <cstdint>

namespace velkor
{

class EventDispatcher;
class PlayCallbacks;
struct DeviceEvent;

// Turns the events a device raises by itself into listener events (OnDevStatus of a channel,
// OnRecStatus, OnAlmStatus), and alarms and recording also into calls of the play's callback.
// Alarms may be dropped and statuses merged when the listeners fall behind.
class DeviceEventReporter
{
public:
    DeviceEventReporter(EventDispatcher& dispatcher, PlayCallbacks& callbacks);

    // `channels`: how many the device has; events of others are no news of it.
    void report(const DeviceEvent& event, int32_t channels);

private:
    EventDispatcher& m_dispatcher;
    PlayCallbacks& m_callbacks;
};

} // namespace velkor
