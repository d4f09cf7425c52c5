#include "EventDispatcher.h"

#include <algorithm>

namespace velkor
{

EventDispatcher::EventDispatcher(std::size_t capacity)
    : m_capacity(capacity), m_thread([this] { run(); })
{
}

EventDispatcher::~EventDispatcher()
{
    shutdown();
}

bool EventDispatcher::addListener(IAppListener* listener)
{
    std::lock_guard lock(m_mutex);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
    {
        return false;
    }
    m_listeners.push_back(listener);
    return true;
}

void EventDispatcher::clearListeners()
{
    std::unique_lock lock(m_mutex);
    m_listeners.clear();
    if (!isDispatcherThread())
    {
        m_idle.wait(lock, [this] { return !m_delivering || m_exited; });
    }
}

bool EventDispatcher::post(ListenerEvent event)
{
    return enqueue(Item{std::move(event), nullptr});
}

bool EventDispatcher::postTask(Task task)
{
    return enqueue(Item{nullptr, std::move(task)});
}

bool EventDispatcher::enqueue(Item item)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_queue.size() >= m_capacity)
        {
            ++m_dropped;
            return false;
        }
        m_queue.push_back(std::move(item));
    }
    m_wake.notify_one();
    return true;
}

void EventDispatcher::flush()
{
    if (isDispatcherThread())
    {
        return;
    }
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return (m_queue.empty() && !m_delivering) || m_exited; });
}

void EventDispatcher::shutdown(std::chrono::milliseconds patience)
{
    {
        std::unique_lock lock(m_mutex);
        if (m_stopping)
        {
            return;
        }
        m_stopping = true;
        m_queue.clear();
        m_wake.notify_all();
        if (isDispatcherThread())
        {
            lock.unlock();
            m_thread.detach();
            return;
        }
        if (!m_idle.wait_for(lock, patience, [this] { return m_exited; }))
        {
            lock.unlock();
            m_thread.detach();
            return;
        }
    }
    m_thread.join();
}

std::size_t EventDispatcher::droppedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

bool EventDispatcher::isDispatcherThread() const
{
    return std::this_thread::get_id() == m_thread.get_id();
}

void EventDispatcher::run()
{
    std::unique_lock lock(m_mutex);
    while (true)
    {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
        {
            break;
        }
        Item item = std::move(m_queue.front());
        m_queue.pop_front();
        const std::vector<IAppListener*> listeners = m_listeners;
        m_delivering = true;
        lock.unlock();
        if (item.task)
        {
            item.task();
        }
        if (item.event)
        {
            for (IAppListener* listener : listeners)
            {
                item.event(*listener);
            }
        }
        lock.lock();
        m_delivering = false;
        m_idle.notify_all();
    }
    m_exited = true;
    m_idle.notify_all();
}

} // namespace velkor
