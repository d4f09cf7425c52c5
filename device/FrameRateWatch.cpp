#include "device/FrameRateWatch.h"

namespace velkordevice
{

namespace
{

// Below this share of the target the shortfall is real, not the jitter of a busy machine.
constexpr double kShortShare = 0.9;

} // namespace

FrameRateWatch::FrameRateWatch(int targetFps, Clock::duration window, int repeatWindows)
    : m_targetFps(targetFps), m_window(window), m_repeatWindows(repeatWindows)
{
}

std::optional<FrameRateWatch::Report> FrameRateWatch::pictureDone(Clock::time_point now)
{
    if (!m_windowStart)
    {
        // The window opens at the first picture: opening an encoder takes its own time.
        m_windowStart = now;
        return std::nullopt;
    }
    ++m_pictures;
    const auto elapsed = now - *m_windowStart;
    if (elapsed < m_window)
    {
        return std::nullopt;
    }
    const double rate = m_pictures / std::chrono::duration<double>(elapsed).count();
    const bool wasShort = m_short;
    m_short = rate < m_targetFps * kShortShare;
    m_windowStart = now;
    m_pictures = 0;
    const bool repeat = m_short && ++m_quietWindows >= m_repeatWindows;
    if (m_short == wasShort && !repeat)
    {
        return std::nullopt;
    }
    m_quietWindows = 0;
    return Report{rate, m_short};
}

} // namespace velkordevice
