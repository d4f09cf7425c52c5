#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace velkor
{

// A request to stop, raised by one thread and noticed at once by another: waits on it end early,
// and a waker that the stopping thread installs for the time it blocks elsewhere (in a transfer's
// poll) is called to cut that wait short as well.
class StopSignal
{
public:
    void request();
    void reset();
    bool requested() const;

    // Sleeps for `duration` unless a stop is requested first; true when one was.
    bool waitFor(std::chrono::steady_clock::duration duration) const;

    // `wake` is called from the requesting thread while installed. Returns the waker it
    // replaces, for the caller to put back when it no longer blocks.
    std::function<void()> setWaker(std::function<void()> wake);

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_requested = false;
    std::function<void()> m_waker;
};

} // namespace velkor
