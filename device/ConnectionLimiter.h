#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velkordevice
{

// The server's workers: one job per accepted connection. Up to `limit` connections are served
// by their own worker; any beyond that run on a small overflow pool with rejectingThisThread()
// set, so the connection is refused at once.
class ConnectionLimiter
{
public:
    ConnectionLimiter(std::size_t limit, std::size_t overflowWorkers = 2);
    ~ConnectionLimiter();
    ConnectionLimiter(const ConnectionLimiter&) = delete;
    ConnectionLimiter& operator=(const ConnectionLimiter&) = delete;

    void enqueue(std::function<void()> fn);
    // Runs what is queued, then joins the workers.
    void shutdown();

    static bool rejectingThisThread();
    std::size_t active() const;

private:
    void serve(std::deque<std::function<void()>>& queue, bool rejecting);

    std::size_t m_limit;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_accepted;
    std::deque<std::function<void()>> m_rejected;
    std::size_t m_active = 0; // accepted jobs queued or running
    bool m_shutdown = false;
    std::vector<std::thread> m_workers;
};

} // namespace velkordevice
