#pragma once

#include "IAppListener.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velkor
{

// Delivers events to the registered listeners on a thread of its own, in the order posted. A
// listener is called with no lock of the library held, so it may call back into the library.
// The queue is bounded: when a listener is too slow, new events are dropped, never queued
// without end.
class EventDispatcher
{
public:
    using ListenerEvent = std::function<void(IAppListener&)>;
    using Task = std::function<void()>;

    explicit EventDispatcher(std::size_t capacity = 1024);
    ~EventDispatcher();
    EventDispatcher(const EventDispatcher&) = delete;
    EventDispatcher& operator=(const EventDispatcher&) = delete;

    // False when the listener was registered already; it is kept once either way.
    bool addListener(IAppListener* listener);
    // Returns once no delivery to a removed listener is running (unless called from a listener).
    void clearListeners();

    bool post(ListenerEvent event);
    bool postTask(Task task);

    // Blocks until every event posted before the call has been delivered.
    void flush();
    // Stops the thread, dropping what is queued; waits at most `patience` for a listener that is
    // still running, then leaves the thread to finish on its own.
    void shutdown(std::chrono::milliseconds patience = std::chrono::milliseconds(2000));

    std::size_t droppedCount() const;
    bool isDispatcherThread() const;

private:
    struct Item
    {
        ListenerEvent event;
        Task task;
    };

    bool enqueue(Item item);
    void run();

    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Item> m_queue;
    std::vector<IAppListener*> m_listeners;
    std::size_t m_dropped = 0;
    bool m_delivering = false;
    bool m_stopping = false;
    bool m_exited = false;
    std::thread m_thread;
};

} // namespace velkor
