#pragma once

#include <chrono>
#include <optional>

namespace velkordevice
{

// Measures the rate a stream's pictures are actually produced at, window by window, and says
// when it is worth telling: when the rate falls short of the target, again every
// `repeatWindows` windows while it stays short, and once when it is back.
class FrameRateWatch
{
public:
    using Clock = std::chrono::steady_clock;

    struct Report
    {
        double framesPerSecond = 0;
        bool shortOfTarget = false;
    };

    FrameRateWatch(int targetFps, Clock::duration window, int repeatWindows);

    std::optional<Report> pictureDone(Clock::time_point now);

private:
    int m_targetFps;
    Clock::duration m_window;
    std::optional<Clock::time_point> m_windowStart;
    int m_repeatWindows;
    int m_pictures = 0;
    bool m_short = false;
    int m_quietWindows = 0;
};

} // namespace velkordevice
