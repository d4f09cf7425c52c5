#include "velkor/stats/LiveStatistics.h"

#include <algorithm>

namespace velkor
{
namespace
{

constexpr auto kSampleEvery = std::chrono::seconds(1);

double perSecond(std::uint64_t count, LiveStatistics::Clock::duration over)
{
    const double seconds = std::chrono::duration<double>(over).count();
    return seconds > 0 ? static_cast<double>(count) / seconds : 0.0;
}

std::optional<std::size_t>
highest(const std::array<std::uint64_t, LiveCounters::kLatencyBuckets + 1>& histogram)
{
    for (std::size_t i = histogram.size(); i > 0; --i)
    {
        if (histogram[i - 1] != 0)
        {
            return i - 1;
        }
    }
    return std::nullopt;
}

} // namespace

void LiveStatistics::beginPlay()
{
    std::lock_guard lock(m_mutex);
    m_description = {};
    m_counters.forgetKeyframeInterval();
    m_samples.clear();
    m_start = {Clock::now(), m_counters.snapshot()};
    m_samples.push_back(m_start);
    m_nextSample.store((m_start.at + kSampleEvery).time_since_epoch().count(),
                       std::memory_order_relaxed);
}

void LiveStatistics::describeSource(std::string source, std::string transport)
{
    std::lock_guard lock(m_mutex);
    m_description.source = std::move(source);
    m_description.transport = std::move(transport);
}

void LiveStatistics::describePictures(VideoCodec codec, std::string profile, PictureSize size)
{
    std::lock_guard lock(m_mutex);
    m_description.codec = codec;
    m_description.profile = std::move(profile);
    m_description.size = size;
}

void LiveStatistics::describeUndecodable(std::string reason)
{
    std::lock_guard lock(m_mutex);
    if (m_description.whyUndecodable.empty())
    {
        m_description.whyUndecodable = std::move(reason);
    }
}

void LiveStatistics::tick()
{
    const Clock::time_point now = Clock::now();
    if (now.time_since_epoch().count() < m_nextSample.load(std::memory_order_relaxed))
    {
        return;
    }
    std::lock_guard lock(m_mutex);
    keepSampleLocked(now);
}

void LiveStatistics::keepSampleLocked(Clock::time_point now)
{
    if (!m_samples.empty() && now - m_samples.back().at < kSampleEvery)
    {
        return;
    }
    m_samples.push_back({now, m_counters.snapshot()});
    // One sample older than the latency window is kept, as the window's start.
    while (m_samples.size() > 2 && now - m_samples[1].at >= kLatencyWindow)
    {
        m_samples.pop_front();
    }
    m_nextSample.store((now + kSampleEvery).time_since_epoch().count(), std::memory_order_relaxed);
}

LiveStatistics::Figures LiveStatistics::figures()
{
    std::lock_guard lock(m_mutex);
    const Clock::time_point now = Clock::now();
    keepSampleLocked(now);
    Figures figures = m_description;
    if (m_samples.size() < 2)
    {
        return figures;
    }
    const Sample& newest = m_samples.back();
    const Sample& before = m_samples[m_samples.size() - 2];
    const LiveCounters::Snapshot second = newest.counted - before.counted;
    const Clock::duration secondLong = newest.at - before.at;
    figures.receivedFps = perSecond(second.parts, secondLong);
    // A picture received just before a sample and drawn just after it would count as drawn in a
    // second that did not receive it.
    figures.drawnFps = perSecond(std::min(second.drawn, second.parts), secondLong);
    figures.kbitPerSecond = perSecond(second.bytes * 8, secondLong) / 1000.0;
    if (second.decoded != 0)
    {
        figures.decodeMs = static_cast<double>(second.decodeMicroseconds) /
                           static_cast<double>(second.decoded) / 1000.0;
    }
    const LiveCounters::Snapshot sincePlay = newest.counted - m_start.counted;
    figures.kbitPerSecondSincePlay =
        perSecond(sincePlay.bytes * 8, newest.at - m_start.at) / 1000.0;
    const LiveCounters::Snapshot window = newest.counted - m_samples.front().counted;
    figures.latencyP50Ms = LiveCounters::Snapshot::percentile(window.drawnLatencyMs, 0.5);
    figures.latencyMaxMs = highest(window.drawnLatencyMs);
    figures.keyframeInterval = m_counters.keyframeInterval();
    figures.replaced = sincePlay.replaced;
    figures.undecodable = sincePlay.undecodable;
    figures.concealed = sincePlay.concealed;
    figures.leftOut = sincePlay.skipped + sincePlay.notSent;
    figures.losses = sincePlay.losses;
    figures.reconnections = sincePlay.reconnections;
    const auto since = [now](std::optional<Clock::time_point> at)
    {
        return at ? std::optional(std::chrono::duration_cast<std::chrono::seconds>(now - *at))
                  : std::nullopt;
    };
    if (figures.losses != 0)
    {
        figures.sinceLoss = since(m_counters.lastLoss());
    }
    if (figures.reconnections != 0)
    {
        figures.sinceReconnection = since(m_counters.lastReconnection());
    }
    return figures;
}

} // namespace velkor
