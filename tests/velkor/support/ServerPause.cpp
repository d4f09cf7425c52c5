#include "tests/velkor/support/ServerPause.h"

namespace velkortest
{

ServerPause::ServerPause(const XvfbDisplay& display, std::chrono::seconds longest)
    : m_display(display)
{
    m_display.pause();
    m_watchdog = std::thread(
        [this, longest]
        {
            std::unique_lock lock(m_mutex);
            m_ended.wait_for(lock, longest, [this] { return m_over; });
            m_display.resume();
            m_lifted = true;
        });
}

ServerPause::~ServerPause()
{
    {
        std::lock_guard lock(m_mutex);
        m_over = true;
    }
    m_ended.notify_all();
    m_watchdog.join();
}

bool ServerPause::holding() const
{
    std::lock_guard lock(m_mutex);
    return !m_lifted;
}

} // namespace velkortest
