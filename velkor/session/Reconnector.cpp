#include "velkor/session/Reconnector.h"

#include "velkor/net/Pause.h"

#include <algorithm>

namespace velkor
{

void Reconnector::start(Attempt attempt)
{
    join();
    {
        std::lock_guard lock(m_mutex);
        m_active = true;
        m_stopping = false;
        m_troubled = false;
        m_recovering = false;
        m_pause = kFirstPause;
        m_settledAt.reset();
        m_attempt = std::move(attempt);
        // Under the lock: giveUp() may come from another thread meanwhile.
        m_thread = std::jthread([this](const std::stop_token& stop) { run(stop); });
    }
}

void Reconnector::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_active = false;
        m_stopping = true;
    }
    m_wake.notify_all();
    // An attempt under way is ended through the thread's stop token.
    join();
    std::lock_guard lock(m_mutex);
    m_troubled = false;
    m_recovering = false;
}

void Reconnector::giveUp()
{
    {
        std::lock_guard lock(m_mutex);
        m_active = false;
        m_stopping = true;
        m_troubled = false;
        m_recovering = false;
        m_thread.request_stop();
    }
    m_wake.notify_all();
}

void Reconnector::troubled()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_active)
        {
            return;
        }
        if (m_settledAt && std::chrono::steady_clock::now() - *m_settledAt >= kSteadyAfter)
        {
            m_pause = kFirstPause;
        }
        m_settledAt.reset();
        m_troubled = true;
        m_recovering = true;
    }
    m_wake.notify_all();
}

void Reconnector::settled()
{
    std::lock_guard lock(m_mutex);
    m_settledAt = std::chrono::steady_clock::now();
}

bool Reconnector::recovering() const
{
    std::lock_guard lock(m_mutex);
    return m_recovering;
}

void Reconnector::run(const std::stop_token& stop)
{
    while (true)
    {
        std::chrono::milliseconds pause{};
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, stop, [this] { return m_stopping || m_troubled; });
            if (m_stopping || stop.stop_requested())
            {
                break;
            }
            m_troubled = false;
            pause = m_pause;
            m_pause = std::min(m_pause * 2, kLongestPause);
        }
        if (Pause::stopped(stop, pause))
        {
            break;
        }
        bool restored = false;
        try
        {
            restored = m_attempt(stop);
        }
        catch (const std::exception&)
        {
            // Out of resources this time; the next attempt may fare better.
        }
        std::lock_guard lock(m_mutex);
        if (restored)
        {
            m_recovering = false;
        }
        else
        {
            m_troubled = true;
        }
    }
}

void Reconnector::join()
{
    m_thread.request_stop();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

} // namespace velkor
