#pragma once

#include "velkor/WorkerThread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace velkor
{

// Brings live play back after the device or its stream was lost. Once told of trouble it waits,
// then calls `attempt`, and waits longer before each further attempt (from kFirstPause, doubling,
// to at most kLongestPause) until one succeeds or it is stopped. The pause starts short again once
// pictures flow.
class Reconnector
{
public:
    // True when play runs again (or was given up for good); the stop ends a transfer at once.
    using Attempt = std::function<bool(StopSignal& stop)>;

    static constexpr std::chrono::milliseconds kFirstPause{250};
    static constexpr std::chrono::milliseconds kLongestPause{5000};

    Reconnector() = default;
    Reconnector(const Reconnector&) = delete;
    Reconnector& operator=(const Reconnector&) = delete;

    // Starts waiting for trouble, forgetting any earlier.
    void start(Attempt attempt);
    // Ends the waiting and an attempt under way at once. Not from an attempt.
    void stop();
    // From any thread; heard only between start() and stop().
    void troubled();
    void settled();
    // Trouble was reported and no attempt has succeeded since.
    bool recovering() const;

private:
    void run(StopSignal& stop);

    Attempt m_attempt;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_active = false;
    bool m_stopping = false;
    bool m_troubled = false;
    bool m_recovering = false;
    std::chrono::milliseconds m_pause = kFirstPause;
    WorkerThread m_thread;
};

} // namespace velkor
