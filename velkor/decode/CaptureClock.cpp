#include "velkor/decode/CaptureClock.h"

#include <cmath>

namespace velkor
{

CaptureClock::CaptureClock(double microsecondsPerTick, bool stampLate)
    : m_microsecondsPerTick(microsecondsPerTick), m_stampLate(stampLate)
{
}

void CaptureClock::packet(std::optional<std::int64_t> pts, std::optional<std::int64_t> stamp)
{
    const std::optional<std::int64_t> ownStamp = m_stampLate ? m_pendingStamp : stamp;
    if (m_stampLate)
    {
        m_pendingStamp = stamp;
    }
    if (pts && ownStamp)
    {
        m_offset = *ownStamp - std::llround(static_cast<double>(*pts) * m_microsecondsPerTick);
    }
}

std::optional<std::int64_t> CaptureClock::capturedAt(std::optional<std::int64_t> pts) const
{
    if (!pts || !m_offset)
    {
        return std::nullopt;
    }
    return *m_offset + std::llround(static_cast<double>(*pts) * m_microsecondsPerTick);
}

} // namespace velkor
