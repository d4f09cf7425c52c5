#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace common
{

// xs:dateTime and xs:duration as ONVIF messages write them.
class XsdTime
{
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // "2026-12-10T08:30:00Z"; with milliseconds, "2026-12-10T08:30:00.250Z".
    static std::string format(TimePoint when, bool milliseconds = false);
    // YYYY-MM-DDThh:mm:ss[.fraction][Z|(+|-)hh:mm]; without a zone, UTC.
    static std::optional<TimePoint> parseDateTime(std::string_view text);
    // P[nD][T[nH][nM][n[.n]S]], as "PT60S"; years and months are refused (their length varies).
    static std::optional<std::chrono::milliseconds> parseDuration(std::string_view text);
};

} // namespace common
