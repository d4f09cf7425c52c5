#pragma once

#include "device/EventBus.h"
#include "device/MotionNotice.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace velkordevice
{

// One ONVIF pull-point subscription: follows the device's events from its creation on and keeps
// the motion changes they make until they are pulled.
class PullPoint
{
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // `clockOffset`: from the system clock to the device's ONVIF clock.
    PullPoint(EventBus& bus, std::chrono::seconds clockOffset, TimePoint termination);

    TimePoint termination() const;
    void setTermination(TimePoint termination);
    // Queues the state of every channel: motion on `alarmed` (0 for none) only.
    void synchronize(int channels, int alarmed, TimePoint now);
    // Up to `limit` notices, waiting up to `timeout` for the first; empty at the timeout, when
    // the device stops or once `abandoned` says the puller has gone. Pulls of one subscription
    // take their turns.
    std::vector<MotionNotice> pull(std::chrono::milliseconds timeout, std::size_t limit,
                                   const std::function<bool()>& abandoned);

private:
    void translate(const std::vector<EventBus::Entry>& entries);
    std::vector<MotionNotice> take(std::size_t limit);

    EventBus& m_bus;
    std::chrono::seconds m_clockOffset;
    // Taken for a whole pull; guards m_seen.
    std::mutex m_pulling;
    uint64_t m_seen;
    mutable std::mutex m_mutex;
    std::deque<MotionNotice> m_pending;
    TimePoint m_termination;
};

} // namespace velkordevice
