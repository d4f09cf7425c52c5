#include "velkor/LiveCounters.h"

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
    difference.handedOver = handedOver - earlier.handedOver;
    difference.drawn = drawn - earlier.drawn;
    difference.replaced = replaced - earlier.replaced;
    difference.notSent = notSent - earlier.notSent;
    for (std::size_t i = 0; i < latencyMs.size(); ++i)
    {
        difference.latencyMs[i] = latencyMs[i] - earlier.latencyMs[i];
    }
    return difference;
}

std::optional<std::size_t> LiveCounters::Snapshot::latencyPercentile(double fraction) const
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
    add(m_latencyMs[std::min<std::uint64_t>(milliseconds, kLatencyBuckets)]);
}

LiveCounters::Snapshot LiveCounters::snapshot() const
{
    Snapshot now;
    now.parts = m_parts.load(std::memory_order_relaxed);
    now.skipped = m_skipped.load(std::memory_order_relaxed);
    now.undecodable = m_undecodable.load(std::memory_order_relaxed);
    now.handedOver = m_handedOver.load(std::memory_order_relaxed);
    now.drawn = m_drawn.load(std::memory_order_relaxed);
    now.replaced = m_replaced.load(std::memory_order_relaxed);
    now.notSent = m_notSent.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < m_latencyMs.size(); ++i)
    {
        now.latencyMs[i] = m_latencyMs[i].load(std::memory_order_relaxed);
    }
    return now;
}

} // namespace velkor
