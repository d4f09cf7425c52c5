#pragma once

#include "velkor/EventDispatcher.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class IAppCallBack;

namespace velkor
{

// The IAppCallBack of the live play that runs, when it was started with one: what is reported of
// that play goes to it too, on the dispatcher thread. Once clear() has returned it is never called
// again, so its owner may free it.
class PlayCallbacks
{
public:
    // After clear(): what is reported from now on goes to `callback` too (none when null).
    void set(IAppCallBack* callback);
    // Deliveries still queued for the callback are dropped, and one that runs is waited for
    // (unless it is the caller).
    void clear();
    // For process exit: drops the callback like clear(), and from now on nothing waits for one.
    void close();
    // A task that calls the play's callback, or none while play has no callback.
    EventDispatcher::Task bind(std::function<void(IAppCallBack&)> call);

private:
    void run(std::uint64_t generation, IAppCallBack& callback,
             const std::function<void(IAppCallBack&)>& call);

    std::mutex m_mutex;
    std::condition_variable m_idle;
    IAppCallBack* m_callback = nullptr;
    // Counts the callbacks handed out; a delivery bound to an earlier one is dropped.
    std::uint64_t m_generation = 0;
    bool m_running = false;
    std::thread::id m_runningOn;
    bool m_closed = false;
};

} // namespace velkor
