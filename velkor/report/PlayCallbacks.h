#pragma once

#include "velkor/report/EventDispatcher.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class IAppCallBack;

namespace velkor
{

// The IAppCallBack of the live play that runs, when it was started with one: what is reported of
// that play goes to it too, on the dispatcher thread. Once it has been dropped and waited for it
// is never called again, so its owner may free it.
class PlayCallbacks
{
public:
    // What is reported from now on goes to `callback` too (none when null).
    void set(IAppCallBack* callback);
    // Deliveries still queued for the callback are dropped; returns at once.
    void drop();
    // Returns once no delivery of a callback dropped before the call is running: at once on the
    // thread that runs it, and after close(). Hold no lock that such a callback's calls into the
    // library would need.
    void waitForDropped();
    // For process exit: drops the callback, and from now on nothing waits for one.
    void close();
    // A task that calls the play's callback, or none while play has no callback.
    EventDispatcher::Task bind(std::function<void(IAppCallBack&)> call);

private:
    void run(std::uint64_t generation, IAppCallBack& callback,
             const std::function<void(IAppCallBack&)>& call);

    std::mutex m_mutex;
    std::condition_variable m_idle;
    IAppCallBack* m_callback = nullptr;
    // Counts the drops; a delivery bound before the latest is not made.
    std::uint64_t m_generation = 0;
    bool m_running = false;
    std::uint64_t m_runningGeneration = 0;
    std::thread::id m_runningOn;
    bool m_closed = false;
};

} // namespace velkor
