#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace velkor
{

// A thread with a stop flag that its body polls. stop() may be called from the thread itself
// (a listener ending a stream from inside its own event), where it detaches instead of joining.
class WorkerThread
{
public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void start(std::function<void(const std::atomic<bool>& stop)> body);
    void stop();
    bool running() const { return m_thread.joinable() && !m_finished.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

} // namespace velkor
