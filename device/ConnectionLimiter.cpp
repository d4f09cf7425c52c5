#include "device/ConnectionLimiter.h"

namespace velkordevice
{

namespace
{
thread_local bool t_rejecting = false;
}

ConnectionLimiter::ConnectionLimiter(std::size_t limit, std::size_t overflowWorkers)
    : m_limit(limit)
{
    for (std::size_t i = 0; i < limit; ++i)
    {
        m_workers.emplace_back([this] { serve(m_accepted, false); });
    }
    for (std::size_t i = 0; i < overflowWorkers; ++i)
    {
        m_workers.emplace_back([this] { serve(m_rejected, true); });
    }
}

ConnectionLimiter::~ConnectionLimiter()
{
    shutdown();
}

bool ConnectionLimiter::rejectingThisThread()
{
    return t_rejecting;
}

std::size_t ConnectionLimiter::active() const
{
    std::lock_guard lock(m_mutex);
    return m_active;
}

void ConnectionLimiter::enqueue(std::function<void()> fn)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_active < m_limit)
        {
            ++m_active;
            m_accepted.push_back(std::move(fn));
        }
        else
        {
            m_rejected.push_back(std::move(fn));
        }
    }
    m_wake.notify_all();
}

void ConnectionLimiter::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_shutdown)
        {
            return;
        }
        m_shutdown = true;
    }
    m_wake.notify_all();
    for (auto& worker : m_workers)
    {
        worker.join();
    }
}

void ConnectionLimiter::serve(std::deque<std::function<void()>>& queue, bool rejecting)
{
    t_rejecting = rejecting;
    std::unique_lock lock(m_mutex);
    while (true)
    {
        m_wake.wait(lock, [&] { return m_shutdown || !queue.empty(); });
        // Queued connections are still served on shutdown: each job owns a socket to close.
        if (queue.empty())
        {
            return;
        }
        auto job = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        job();
        lock.lock();
        if (!rejecting)
        {
            --m_active;
        }
    }
}

} // namespace velkordevice
