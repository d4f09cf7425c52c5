#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velkordevice
{

class EventBus;

// Raises an emulated motion alarm every interval, rotating over the channels; the alarmed
// channel records until the next alarm moves on.
class AlarmSchedule
{
public:
    static constexpr int kMotionAlarm = 1;

    AlarmSchedule(EventBus& bus, int channels, std::chrono::milliseconds interval);
    ~AlarmSchedule();
    AlarmSchedule(const AlarmSchedule&) = delete;
    AlarmSchedule& operator=(const AlarmSchedule&) = delete;

    void start();
    void stop();
    // Publishes the events of the next alarm; the thread calls it once per interval.
    void fire();
    // The channel whose alarm was raised last and has not moved on, 0 for none.
    int alarmedChannel() const { return m_recording; }

private:
    void run();

    EventBus& m_bus;
    int m_channels;
    std::chrono::milliseconds m_interval;
    int m_next = 1;
    std::atomic<int> m_recording{0};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace velkordevice
