#include "device/AlarmSchedule.h"

#include "device/EventBus.h"
#include "device/LocalTimestamp.h"

#include <string>

namespace velkordevice
{

AlarmSchedule::AlarmSchedule(EventBus& bus, int channels, std::chrono::milliseconds interval)
    : m_bus(bus), m_channels(channels), m_interval(interval)
{
}

AlarmSchedule::~AlarmSchedule()
{
    stop();
}

void AlarmSchedule::start()
{
    std::lock_guard lock(m_mutex);
    if (m_interval.count() <= 0 || m_channels <= 0 || m_thread.joinable() || m_stopping)
    {
        return;
    }
    m_thread = std::thread([this] { run(); });
}

void AlarmSchedule::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

void AlarmSchedule::fire()
{
    const int channel = m_next;
    m_next = m_next % m_channels + 1;
    if (m_recording != 0)
    {
        m_bus.publish("record", "channel=" + std::to_string(m_recording) + " status=0");
    }
    const std::string time = LocalTimestamp::format(std::chrono::system_clock::now(), 'T');
    m_bus.publish("alarm", "channel=" + std::to_string(channel) +
                               " type=" + std::to_string(kMotionAlarm) + " status=1 time=" + time);
    m_bus.publish("record", "channel=" + std::to_string(channel) + " status=1");
    m_recording = channel;
}

void AlarmSchedule::run()
{
    auto next = std::chrono::steady_clock::now() + m_interval;
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_until(lock, next, [this] { return m_stopping; }))
    {
        fire();
        next += m_interval;
    }
}

} // namespace velkordevice
