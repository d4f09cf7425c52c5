#include "velkor/report/EventDispatcher.h"

#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <new>
#include <string>

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

bool EventDispatcher::post(ListenerEvent event, Task callback)
{
    return enqueue(Item{std::move(event), std::move(callback), Kind::Always, 0});
}

bool EventDispatcher::postTask(Task task)
{
    return enqueue(Item{nullptr, std::move(task), Kind::Always, 0});
}

bool EventDispatcher::postError(int32_t code, std::string description)
{
    return post([code, description = std::move(description)](IAppListener& listener)
                { listener.OnError(code, description.c_str()); });
}

bool EventDispatcher::postDroppable(ListenerEvent event, Task callback)
{
    return enqueue(Item{std::move(event), std::move(callback), Kind::Droppable, 0});
}

bool EventDispatcher::postState(std::uint64_t key, ListenerEvent event, Task callback)
{
    return enqueue(Item{std::move(event), std::move(callback), Kind::State, key});
}

bool EventDispatcher::enqueue(Item item)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
        {
            return false;
        }
        if (m_queue.size() >= m_capacity && item.kind != Kind::Always)
        {
            ++m_dropped;
            ++m_unreported;
            if (item.kind == Kind::Droppable)
            {
                return false;
            }
            const auto older =
                std::find_if(m_queue.begin(), m_queue.end(),
                             [&item](const Item& queued)
                             { return queued.kind == Kind::State && queued.key == item.key; });
            if (older != m_queue.end())
            {
                // The newer state goes to the back: in place of the older one it would overtake
                // what was queued between them.
                m_queue.erase(older);
                m_queue.push_back(std::move(item));
                return true;
            }
            // Nothing to merge with: it is a new state and joins the queue after all.
            --m_dropped;
            --m_unreported;
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

void EventDispatcher::reportDropsLocked()
{
    const std::string description =
        "the listeners fell behind a flood of device events: " + std::to_string(m_unreported) +
        " alarms and status changes were dropped or merged into later ones";
    m_unreported = 0;
    m_queue.push_back(Item{[description](IAppListener& listener)
                           { listener.OnError(EventsDropped, description.c_str()); },
                           nullptr, Kind::Always, 0});
}

void EventDispatcher::run()
{
    std::vector<IAppListener*> listeners;
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
        m_delivering = true;
        try
        {
            listeners = m_listeners;
            lock.unlock();
            deliver(item, listeners);
            lock.lock();
            if (m_unreported > 0 && m_queue.size() <= m_capacity / 2)
            {
                reportDropsLocked();
            }
        }
        catch (const std::bad_alloc&)
        {
            // Out of memory: this event is lost, the next may fare better.
            if (!lock.owns_lock())
            {
                lock.lock();
            }
        }
        m_delivering = false;
        m_idle.notify_all();
    }
    m_exited = true;
    m_idle.notify_all();
}

void EventDispatcher::deliver(const Item& item, const std::vector<IAppListener*>& listeners)
{
    // A listener's exception is its own affair: it must neither end this thread nor keep the
    // event from the other listeners.
    if (item.event)
    {
        for (IAppListener* listener : listeners)
        {
            try
            {
                item.event(*listener);
            }
            catch (...)
            {
            }
        }
    }
    if (item.callback)
    {
        try
        {
            item.callback();
        }
        catch (...)
        {
        }
    }
}

} // namespace velkor
