#pragma once

#include "velkor/net/StopSignal.h"

#include <atomic>
#include <functional>
#include <thread>

namespace velkor
{

// A thread whose body is handed a StopSignal to watch. stop() requests the stop and joins; it
// must not be called from the thread itself, which would have to detach and then outlive the
// object it runs for.
class WorkerThread
{
public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void start(std::function<void(StopSignal& stop)> body);
    void stop();
    // Asks the body to stop without waiting for it, from any thread, the worker's own included;
    // stop() or start() joins it later.
    void requestStop() { m_stop.request(); }
    bool running() const { return m_thread.joinable() && !m_finished.load(); }
    bool isCurrentThread() const { return m_thread.get_id() == std::this_thread::get_id(); }

private:
    StopSignal m_stop;
    std::atomic<bool> m_finished{false};
    std::thread m_thread;
};

} // namespace velkor
