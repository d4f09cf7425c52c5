#pragma once

#include "devicelib/IAppListener.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velkor
{

// Delivers events to the registered listeners on a thread of its own, in the order posted. A
// listener is called with no lock of the library held, so it may call back into the library, and
// one that throws loses only that delivery.
//
// The queue holds `capacity` events before it is under pressure. Events that change state (the
// session, play, errors) are always queued; under pressure an alarm is dropped and a state (a
// channel's status, the picture's size) replaces its own undelivered predecessor, taking its
// place at the back of the queue. Once the queue has drained to half, the listeners hear how many
// were lost through OnError(EventsDropped), queued like any other event.
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

    // `callback`, when set, runs on the dispatcher thread right after the listeners heard `event`.
    // False only after shutdown.
    bool post(ListenerEvent event, Task callback = nullptr);
    bool postTask(Task task);
    // OnError(code, description), always queued.
    bool postError(int32_t code, std::string description);
    // False when dropped under pressure.
    bool postDroppable(ListenerEvent event, Task callback = nullptr);
    // The newest state of `key` (a channel's status, say): under pressure it replaces an
    // undelivered event of the same key. False only after shutdown.
    bool postState(std::uint64_t key, ListenerEvent event, Task callback = nullptr);

    // Blocks until every event posted before the call has been delivered.
    void flush();
    // Stops the thread, dropping what is queued; waits at most `patience` for a listener that is
    // still running, then leaves the thread to finish on its own.
    void shutdown(std::chrono::milliseconds patience = std::chrono::milliseconds(2000));

    // Events dropped or merged under pressure since the start.
    std::size_t droppedCount() const;
    bool isDispatcherThread() const;

private:
    enum class Kind
    {
        Always,
        Droppable,
        State
    };
    struct Item
    {
        ListenerEvent event;
        Task callback;
        Kind kind = Kind::Always;
        std::uint64_t key = 0;
    };

    bool enqueue(Item item);
    void run();
    void deliver(const Item& item, const std::vector<IAppListener*>& listeners);
    void reportDropsLocked();

    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Item> m_queue;
    std::vector<IAppListener*> m_listeners;
    std::size_t m_dropped = 0;
    std::size_t m_unreported = 0;
    bool m_delivering = false;
    bool m_stopping = false;
    bool m_exited = false;
    std::thread m_thread;
};

} // namespace velkor
