#include "velkor/draw/NoSignalClock.h"

namespace velkor
{

void NoSignalClock::start(Clock::time_point lost)
{
    m_lost = lost;
    m_due = lost;
}

std::chrono::seconds NoSignalClock::tick(Clock::time_point now)
{
    if (!m_lost)
    {
        return std::chrono::seconds(0);
    }
    const auto lost = std::chrono::floor<std::chrono::seconds>(now - *m_lost);
    m_due = *m_lost + lost + std::chrono::seconds(1);
    return lost;
}

} // namespace velkor
