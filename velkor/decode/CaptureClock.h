#pragma once

#include <cstdint>
#include <optional>

namespace velkor
{

// When a camera took each picture, from its RTCP sender reports: libavformat stamps a packet
// with the wall-clock time the last report maps its RTP time to, and the offset between that and
// the packet's presentation time holds until the next report. A decoded picture keeps its
// presentation time through the decoder's reordering, so its capture time is that plus the
// offset, whichever packet came out of the decoder with it.
class CaptureClock
{
public:
    // `microsecondsPerTick` from the stream's time base. With `stampLate`, each packet's stamp is
    // that of the packet after it: libavformat's parser hands on the side data of the packet
    // that completed a picture, which is the first of the next picture (H.264, H.265, MPEG-4).
    CaptureClock(double microsecondsPerTick, bool stampLate);

    // Each packet, in the order it goes to the decoder: its presentation time (nothing when it
    // has none) and its wall-clock stamp in microseconds since the Unix epoch.
    void packet(std::optional<std::int64_t> pts, std::optional<std::int64_t> stamp);
    // When the picture of presentation time `pts` was taken; nothing before a sender report.
    std::optional<std::int64_t> capturedAt(std::optional<std::int64_t> pts) const;

private:
    double m_microsecondsPerTick;
    bool m_stampLate;
    std::optional<std::int64_t> m_pendingStamp;
    // Wall-clock microseconds less the presentation time in microseconds.
    std::optional<std::int64_t> m_offset;
};

} // namespace velkor
