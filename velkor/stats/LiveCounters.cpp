#include "velkor/stats/LiveCounters.h"

#include <algorithm>
#include <chrono>

namespace velkor
{

LiveCounters::Snapshot LiveCounters::Snapshot::operator-(const Snapshot& earlier) const
{
    Snapshot difference;
    difference.parts = parts - earlier.parts;
    difference.skipped = skipped - earlier.skipped;
    difference.undecodable = undecodable - earlier.undecodable;
    difference.concealed = concealed - earlier.concealed;
    difference.handedOver = handedOver - earlier.handedOver;
    difference.drawn = drawn - earlier.drawn;
    difference.replaced = replaced - earlier.replaced;
    difference.notSent = notSent - earlier.notSent;
    difference.bytes = bytes - earlier.bytes;
    difference.decoded = decoded - earlier.decoded;
    difference.decodeMicroseconds = decodeMicroseconds - earlier.decodeMicroseconds;
    difference.losses = losses - earlier.losses;
    difference.reconnections = reconnections - earlier.reconnections;
    for (std::size_t i = 0; i < latencyMs.size(); ++i)
    {
        difference.latencyMs[i] = latencyMs[i] - earlier.latencyMs[i];
        difference.drawnLatencyMs[i] = drawnLatencyMs[i] - earlier.drawnLatencyMs[i];
    }
    return difference;
}

std::optional<std::size_t> LiveCounters::Snapshot::latencyPercentile(double fraction) const
{
    return percentile(latencyMs, fraction);
}

std::optional<std::size_t>
LiveCounters::Snapshot::percentile(const std::array<std::uint64_t, kLatencyBuckets + 1>& latencyMs,
                                   double fraction)
{
    std::uint64_t total = 0;
    for (const std::uint64_t count : latencyMs)
    {
        total += count;
    }
    if (total == 0)
    {
        return std::nullopt;
    }
    const auto wanted = static_cast<std::uint64_t>(fraction * static_cast<double>(total - 1));
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < latencyMs.size(); ++i)
    {
        seen += latencyMs[i];
        if (seen > wanted)
        {
            return i;
        }
    }
    return latencyMs.size() - 1;
}

void LiveCounters::countPart(std::optional<std::uint64_t> frameNumber)
{
    add(m_parts);
    if (frameNumber && m_lastFrame && *frameNumber > *m_lastFrame + 1)
    {
        add(m_notSent, *frameNumber - *m_lastFrame - 1);
    }
    if (frameNumber)
    {
        m_lastFrame = frameNumber;
    }
}

void LiveCounters::countHandOver(std::optional<std::int64_t> timestamp)
{
    add(m_handedOver);
    countLatency(m_latencyMs, timestamp);
}

void LiveCounters::countDrawn(std::optional<std::int64_t> timestamp)
{
    add(m_drawn);
    countLatency(m_drawnLatencyMs, timestamp);
}

void LiveCounters::countLatency(std::array<Counter, kLatencyBuckets + 1>& histogram,
                                std::optional<std::int64_t> timestamp)
{
    if (!timestamp)
    {
        return;
    }
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    // A device whose clock runs ahead of ours counts as no delay at all.
    const auto milliseconds =
        static_cast<std::uint64_t>(std::max<std::int64_t>(now - *timestamp, 0) / 1000);
    add(histogram[std::min<std::uint64_t>(milliseconds, kLatencyBuckets)]);
}

void LiveCounters::countDecoded(std::size_t bytes, std::chrono::microseconds took)
{
    add(m_bytes, bytes);
    add(m_decoded);
    add(m_decodeMicroseconds, static_cast<std::uint64_t>(std::max<std::int64_t>(took.count(), 0)));
}

void LiveCounters::countKeyframe()
{
    // The first keyframe of a stream only starts the count.
    if (m_keyframeSeen)
    {
        m_keyframeInterval.store(m_sinceKeyframe + 1, std::memory_order_relaxed);
    }
    m_keyframeSeen = true;
    m_sinceKeyframe = 0;
}

std::optional<std::uint32_t> LiveCounters::keyframeInterval() const
{
    const std::uint32_t interval = m_keyframeInterval.load(std::memory_order_relaxed);
    return interval == 0 ? std::nullopt : std::optional(interval);
}

namespace
{

std::int64_t steadyNow()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

std::optional<std::chrono::steady_clock::time_point> steadyAt(std::int64_t ticks)
{
    if (ticks == 0)
    {
        return std::nullopt;
    }
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
}

} // namespace

void LiveCounters::countLoss()
{
    add(m_losses);
    m_lastLoss.store(steadyNow(), std::memory_order_relaxed);
}

void LiveCounters::countReconnection()
{
    add(m_reconnections);
    m_lastReconnection.store(steadyNow(), std::memory_order_relaxed);
}

std::optional<std::chrono::steady_clock::time_point> LiveCounters::lastLoss() const
{
    return steadyAt(m_lastLoss.load(std::memory_order_relaxed));
}

std::optional<std::chrono::steady_clock::time_point> LiveCounters::lastReconnection() const
{
    return steadyAt(m_lastReconnection.load(std::memory_order_relaxed));
}

LiveCounters::Snapshot LiveCounters::snapshot() const
{
    Snapshot now;
    now.parts = m_parts.load(std::memory_order_relaxed);
    now.skipped = m_skipped.load(std::memory_order_relaxed);
    now.undecodable = m_undecodable.load(std::memory_order_relaxed);
    now.concealed = m_concealed.load(std::memory_order_relaxed);
    now.handedOver = m_handedOver.load(std::memory_order_relaxed);
    now.drawn = m_drawn.load(std::memory_order_relaxed);
    now.replaced = m_replaced.load(std::memory_order_relaxed);
    now.notSent = m_notSent.load(std::memory_order_relaxed);
    now.bytes = m_bytes.load(std::memory_order_relaxed);
    now.decoded = m_decoded.load(std::memory_order_relaxed);
    now.decodeMicroseconds = m_decodeMicroseconds.load(std::memory_order_relaxed);
    now.losses = m_losses.load(std::memory_order_relaxed);
    now.reconnections = m_reconnections.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < m_latencyMs.size(); ++i)
    {
        now.latencyMs[i] = m_latencyMs[i].load(std::memory_order_relaxed);
        now.drawnLatencyMs[i] = m_drawnLatencyMs[i].load(std::memory_order_relaxed);
    }
    return now;
}

} // namespace velkor
