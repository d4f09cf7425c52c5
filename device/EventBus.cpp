#include "device/EventBus.h"

namespace velkordevice
{

EventBus::EventBus(std::size_t capacity) : m_capacity(capacity == 0 ? 1 : capacity) {}

std::string EventBus::format(std::string_view kind, std::string_view data)
{
    std::string out = "event: ";
    out += kind;
    out += "\ndata: ";
    out += data;
    out += "\n\n";
    return out;
}

void EventBus::publish(std::string_view kind, std::string_view data)
{
    {
        std::lock_guard lock(m_mutex);
        m_events.emplace_back(++m_sequence,
                              Entry{format(kind, data), std::chrono::system_clock::now()});
        while (m_events.size() > m_capacity)
        {
            m_events.pop_front();
        }
    }
    m_changed.notify_all();
}

uint64_t EventBus::latestSequence() const
{
    std::lock_guard lock(m_mutex);
    return m_sequence;
}

std::vector<std::string> EventBus::waitAfter(uint64_t& after, std::chrono::milliseconds timeout)
{
    std::vector<std::string> out;
    for (auto& entry : entriesAfter(after, timeout))
    {
        out.push_back(std::move(entry.text));
    }
    return out;
}

std::vector<EventBus::Entry> EventBus::entriesAfter(uint64_t& after,
                                                    std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, timeout, [&] { return m_shutDown || m_sequence > after; });
    std::vector<Entry> out;
    if (m_shutDown)
    {
        return out;
    }
    for (const auto& [sequence, entry] : m_events)
    {
        if (sequence > after)
        {
            out.push_back(entry);
        }
    }
    after = m_sequence;
    return out;
}

void EventBus::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
    }
    m_changed.notify_all();
}

bool EventBus::isShutDown() const
{
    std::lock_guard lock(m_mutex);
    return m_shutDown;
}

} // namespace velkordevice
