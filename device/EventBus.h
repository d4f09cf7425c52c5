#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velkordevice
{

// Fans device events out to every event stream. Only the newest `capacity` events are kept, so a
// reader that falls behind loses the oldest ones instead of growing a queue.
class EventBus
{
public:
    struct Entry
    {
        // "event: <kind>\ndata: <data>\n\n"
        std::string text;
        std::chrono::system_clock::time_point published;
    };

    explicit EventBus(std::size_t capacity = 256);

    // "event: <kind>\ndata: <data>\n\n"
    static std::string format(std::string_view kind, std::string_view data);

    void publish(std::string_view kind, std::string_view data);
    // Sequence number of the newest event published so far (0 before any).
    uint64_t latestSequence() const;
    // Formatted events newer than `after`, advancing it; waits up to `timeout` when there are
    // none. Returns early, empty, once shut down.
    std::vector<std::string> waitAfter(uint64_t& after, std::chrono::milliseconds timeout);
    // The same, with the time each event was published.
    std::vector<Entry> entriesAfter(uint64_t& after, std::chrono::milliseconds timeout);
    void shutdown();
    bool isShutDown() const;

private:
    std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<uint64_t, Entry>> m_events;
    uint64_t m_sequence = 0;
    bool m_shutDown = false;
};

} // namespace velkordevice
