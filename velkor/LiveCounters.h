#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace velkor
{

// What became of live pictures: counted by the stream's thread and the drawing thread without
// locks, read at any time by whoever measures the path. Counts only grow; a reader takes the
// difference of two snapshots.
class LiveCounters
{
public:
    // Latencies are counted per millisecond up to this, and in one bucket above.
    static constexpr std::size_t kLatencyBuckets = 1000;

    struct Snapshot
    {
        std::uint64_t parts = 0;
        // Dropped unseen while waiting for a keyframe.
        std::uint64_t skipped = 0;
        std::uint64_t undecodable = 0;
        std::uint64_t handedOver = 0;
        std::uint64_t drawn = 0;
        // Handed over, but a newer picture took its place before it was drawn.
        std::uint64_t replaced = 0;
        // Frames the device never sent: gaps in the frame numbers of the parts.
        std::uint64_t notSent = 0;
        // From the device's timestamp to the hand-over, per millisecond.
        std::array<std::uint64_t, kLatencyBuckets + 1> latencyMs{};

        Snapshot operator-(const Snapshot& earlier) const;
        // The latency below which `fraction` of the hand-overs fell, in whole milliseconds;
        // nothing when none was timed.
        std::optional<std::size_t> latencyPercentile(double fraction) const;
    };

    // The stream's thread: a new response, whose frame numbers need not follow the last ones.
    void restart() { m_lastFrame.reset(); }
    // For each part of the stream.
    void countPart(std::optional<std::uint64_t> frameNumber);
    void countSkipped() { add(m_skipped); }
    void countUndecodable() { add(m_undecodable); }
    // `timestamp`: when the device finished the picture, microseconds since the Unix epoch.
    void countHandOver(std::optional<std::int64_t> timestamp);
    // The drawing thread.
    void countDrawn() { add(m_drawn); }
    void countReplaced() { add(m_replaced); }

    Snapshot snapshot() const;

private:
    using Counter = std::atomic<std::uint64_t>;
    static void add(Counter& counter, std::uint64_t amount = 1)
    {
        counter.fetch_add(amount, std::memory_order_relaxed);
    }

    Counter m_parts{0};
    Counter m_skipped{0};
    Counter m_undecodable{0};
    Counter m_handedOver{0};
    Counter m_drawn{0};
    Counter m_replaced{0};
    Counter m_notSent{0};
    // Written by the stream's thread only.
    std::optional<std::uint64_t> m_lastFrame;
    std::array<Counter, kLatencyBuckets + 1> m_latencyMs{};
};

} // namespace velkor
