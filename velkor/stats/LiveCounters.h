#pragma once

#include <array>
#include <atomic>
#include <chrono>
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
        // Decoded with damage the decoder concealed, and shown.
        std::uint64_t concealed = 0;
        std::uint64_t handedOver = 0;
        std::uint64_t drawn = 0;
        // Handed over, but a newer picture took its place before it was drawn.
        std::uint64_t replaced = 0;
        // Frames the device never sent: gaps in the frame numbers of the parts.
        std::uint64_t notSent = 0;
        // Encoded bytes of the pictures that reached a decoder.
        std::uint64_t bytes = 0;
        std::uint64_t decoded = 0;
        std::uint64_t decodeMicroseconds = 0;
        std::uint64_t losses = 0;
        std::uint64_t reconnections = 0;
        // From the device's timestamp to the hand-over, per millisecond.
        std::array<std::uint64_t, kLatencyBuckets + 1> latencyMs{};
        // From the device's timestamp to the picture drawn, per millisecond.
        std::array<std::uint64_t, kLatencyBuckets + 1> drawnLatencyMs{};

        Snapshot operator-(const Snapshot& earlier) const;
        // The latency below which `fraction` of the hand-overs fell, in whole milliseconds;
        // nothing when none was timed.
        std::optional<std::size_t> latencyPercentile(double fraction) const;
        static std::optional<std::size_t>
        percentile(const std::array<std::uint64_t, kLatencyBuckets + 1>& histogram,
                   double fraction);
    };

    // The stream's thread: a new response, whose frame numbers need not follow the last ones.
    void restart()
    {
        m_lastFrame.reset();
        m_keyframeSeen = false;
    }
    // For each part of the stream.
    void countPart(std::optional<std::uint64_t> frameNumber);
    void countSkipped() { add(m_skipped); }
    void countUndecodable() { add(m_undecodable); }
    void countConcealed() { add(m_concealed); }
    void countDecoded(std::size_t bytes, std::chrono::microseconds took);
    // Pictures from one keyframe to the next, as last seen.
    void countKeyframe();
    void countInterframe() { ++m_sinceKeyframe; }
    std::optional<std::uint32_t> keyframeInterval() const;
    // A new play: the last one's interval is not this one's.
    void forgetKeyframeInterval() { m_keyframeInterval.store(0, std::memory_order_relaxed); }
    // Live play: the device was lost, and brought back.
    void countLoss();
    void countReconnection();
    std::optional<std::chrono::steady_clock::time_point> lastLoss() const;
    std::optional<std::chrono::steady_clock::time_point> lastReconnection() const;
    // `timestamp`: when the device finished the picture, microseconds since the Unix epoch.
    void countHandOver(std::optional<std::int64_t> timestamp);
    // The drawing thread.
    void countDrawn(std::optional<std::int64_t> timestamp);
    void countReplaced() { add(m_replaced); }

    Snapshot snapshot() const;

private:
    using Counter = std::atomic<std::uint64_t>;
    static void countLatency(std::array<Counter, kLatencyBuckets + 1>& histogram,
                             std::optional<std::int64_t> timestamp);
    static void add(Counter& counter, std::uint64_t amount = 1)
    {
        counter.fetch_add(amount, std::memory_order_relaxed);
    }

    Counter m_parts{0};
    Counter m_skipped{0};
    Counter m_undecodable{0};
    Counter m_concealed{0};
    Counter m_handedOver{0};
    Counter m_drawn{0};
    Counter m_replaced{0};
    Counter m_notSent{0};
    // Written by the stream's thread only.
    std::optional<std::uint64_t> m_lastFrame;
    std::uint32_t m_sinceKeyframe = 0;
    bool m_keyframeSeen = false;
    std::atomic<std::uint32_t> m_keyframeInterval{0};
    Counter m_bytes{0};
    Counter m_decoded{0};
    Counter m_decodeMicroseconds{0};
    Counter m_losses{0};
    Counter m_reconnections{0};
    // Steady-clock nanoseconds; 0 for never.
    std::atomic<std::int64_t> m_lastLoss{0};
    std::atomic<std::int64_t> m_lastReconnection{0};
    std::array<Counter, kLatencyBuckets + 1> m_latencyMs{};
    std::array<Counter, kLatencyBuckets + 1> m_drawnLatencyMs{};
};

} // namespace velkor
