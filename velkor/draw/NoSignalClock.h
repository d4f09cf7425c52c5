#pragma once

#include <chrono>
#include <optional>

namespace velkor
{

// When the no-signal picture is due: at the loss, and again each time the whole seconds since the
// loss go up by one, so the time it shows keeps step with the clock.
class NoSignalClock
{
public:
    using Clock = std::chrono::steady_clock;

    void start(Clock::time_point lost);
    void stop() { m_lost.reset(); }
    bool running() const { return m_lost.has_value(); }
    bool due(Clock::time_point now) const { return m_lost && now >= m_due; }
    Clock::time_point nextDue() const { return m_due; }
    // The whole seconds since the loss, for a picture drawn now; the next is due a second later.
    std::chrono::seconds tick(Clock::time_point now);

private:
    std::optional<Clock::time_point> m_lost;
    Clock::time_point m_due;
};

} // namespace velkor
