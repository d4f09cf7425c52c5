#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace velkor
{

// Brings live play back after the device or its stream was lost. Once told of trouble it waits,
// then calls `attempt`, and waits longer before each further attempt (from kFirstPause, doubling,
// to at most kLongestPause) until one succeeds or it is stopped. The pause starts short again only
// once pictures have flowed for kSteadyAfter: a device that drops every stream at once is asked
// less and less often.
class Reconnector
{
public:
    // True when play runs again (or was given up for good); the stop ends a transfer at once.
    using Attempt = std::function<bool(const std::stop_token& stop)>;

    static constexpr std::chrono::milliseconds kFirstPause{250};
    // Short enough that a device or camera back from a reboot shows its picture within about
    // 3 s; long enough that one dropping every stream is asked only every 2 s.
    static constexpr std::chrono::milliseconds kLongestPause{2000};
    static constexpr std::chrono::seconds kSteadyAfter{10};

    Reconnector() = default;
    Reconnector(const Reconnector&) = delete;
    Reconnector& operator=(const Reconnector&) = delete;

    // Starts waiting for trouble, forgetting any earlier.
    void start(Attempt attempt);
    // Ends the waiting and an attempt under way at once. Not from an attempt.
    void stop();
    // Ends the waiting for good, without waiting for an attempt under way to notice; from any
    // thread, an attempt included. Trouble is no longer heard until the next start().
    void giveUp();
    // From any thread; heard only between start() and stop() or giveUp().
    void troubled();
    // Pictures flow.
    void settled();
    // Trouble was reported and no attempt has succeeded since.
    bool recovering() const;

private:
    void run(const std::stop_token& stop);
    // Not from the thread itself.
    void join();

    Attempt m_attempt;
    mutable std::mutex m_mutex;
    std::condition_variable_any m_wake;
    bool m_active = false;
    bool m_stopping = false;
    bool m_troubled = false;
    bool m_recovering = false;
    std::chrono::milliseconds m_pause = kFirstPause;
    std::optional<std::chrono::steady_clock::time_point> m_settledAt;
    std::jthread m_thread;
};

} // namespace velkor
