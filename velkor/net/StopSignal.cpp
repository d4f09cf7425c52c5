#include "velkor/net/StopSignal.h"

namespace velkor
{

void StopSignal::request()
{
    std::lock_guard lock(m_mutex);
    m_requested = true;
    m_changed.notify_all();
    // Under the lock, so the waker's owner cannot remove it and free what it wakes meanwhile.
    if (m_waker)
    {
        m_waker();
    }
}

void StopSignal::reset()
{
    std::lock_guard lock(m_mutex);
    m_requested = false;
}

bool StopSignal::requested() const
{
    std::lock_guard lock(m_mutex);
    return m_requested;
}

bool StopSignal::waitFor(std::chrono::steady_clock::duration duration) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, duration, [this] { return m_requested; });
}

std::function<void()> StopSignal::setWaker(std::function<void()> wake)
{
    std::lock_guard lock(m_mutex);
    std::swap(m_waker, wake);
    return wake;
}

} // namespace velkor
