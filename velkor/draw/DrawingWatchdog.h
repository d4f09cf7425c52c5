#pragma once

#include <atomic>
#include <functional>

namespace velkor
{

// Keeps callers from waiting on a drawing thread that a stalled X server holds: once a caller gave
// up waiting for an answer, the connection is cut (which frees the thread if it is stuck writing
// to the server) and later callers do not wait at all, until the thread is heard from again.
class DrawingWatchdog
{
public:
    explicit DrawingWatchdog(std::function<void()> cut) : m_cut(std::move(cut)) {}

    // Whether a caller should wait for the thread's answer.
    bool patient() const { return !m_unresponsive.load(); }
    // A caller waited as long as it may.
    void gaveUp();
    // The thread answered something.
    void heard() { m_unresponsive.store(false); }

private:
    std::function<void()> m_cut;
    std::atomic<bool> m_unresponsive{false};
};

} // namespace velkor
