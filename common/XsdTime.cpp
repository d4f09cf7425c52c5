#include "common/XsdTime.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace common
{

namespace
{

// Exactly `digits` decimal digits at `at`, advancing it.
std::optional<int> digitsAt(std::string_view text, std::size_t& at, std::size_t digits)
{
    if (at + digits > text.size())
    {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i)
    {
        const char c = text[at + i];
        if (c < '0' || c > '9')
        {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    at += digits;
    return value;
}

bool expect(std::string_view text, std::size_t& at, char c)
{
    if (at < text.size() && text[at] == c)
    {
        ++at;
        return true;
    }
    return false;
}

// "Z", "+hh:mm", "-hh:mm" or nothing, as seconds east of UTC; nullopt when malformed.
std::optional<long> zoneAt(std::string_view text, std::size_t at)
{
    if (at == text.size())
    {
        return 0L;
    }
    if (text.substr(at) == "Z")
    {
        return 0L;
    }
    const char sign = text[at++];
    const auto hours = digitsAt(text, at, 2);
    const bool colon = expect(text, at, ':');
    const auto minutes = digitsAt(text, at, 2);
    if ((sign != '+' && sign != '-') || !hours || !colon || !minutes || at != text.size())
    {
        return std::nullopt;
    }
    const long seconds = *hours * 3600L + *minutes * 60L;
    return sign == '-' ? -seconds : seconds;
}

} // namespace

std::string XsdTime::format(TimePoint when, bool milliseconds)
{
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(sinceEpoch / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const int length =
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", utc.tm_year + 1900,
                      utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    std::string out(text, static_cast<std::size_t>(length));
    if (milliseconds)
    {
        std::snprintf(text, sizeof text, ".%03d", static_cast<int>(sinceEpoch % 1000));
        out += text;
    }
    return out + "Z";
}

std::optional<XsdTime::TimePoint> XsdTime::parseDateTime(std::string_view text)
{
    std::size_t at = 0;
    std::tm parts{};
    const auto year = digitsAt(text, at, 4);
    const bool dash1 = expect(text, at, '-');
    const auto month = digitsAt(text, at, 2);
    const bool dash2 = expect(text, at, '-');
    const auto day = digitsAt(text, at, 2);
    const bool t = expect(text, at, 'T');
    const auto hour = digitsAt(text, at, 2);
    const bool colon1 = expect(text, at, ':');
    const auto minute = digitsAt(text, at, 2);
    const bool colon2 = expect(text, at, ':');
    const auto second = digitsAt(text, at, 2);
    if (!year || !dash1 || !month || !dash2 || !day || !t || !hour || !colon1 || !minute ||
        !colon2 || !second || *month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 ||
        *minute > 59 || *second > 60)
    {
        return std::nullopt;
    }
    long millis = 0;
    if (expect(text, at, '.'))
    {
        const std::size_t first = at;
        for (long scale = 100; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        {
            millis += (text[at] - '0') * scale;
            scale /= 10;
        }
        if (at == first)
        {
            return std::nullopt;
        }
    }
    const auto zone = zoneAt(text, at);
    if (!zone)
    {
        return std::nullopt;
    }
    parts.tm_year = *year - 1900;
    parts.tm_mon = *month - 1;
    parts.tm_mday = *day;
    parts.tm_hour = *hour;
    parts.tm_min = *minute;
    parts.tm_sec = *second;
    const std::time_t seconds = timegm(&parts) - *zone;
    return TimePoint(std::chrono::seconds(seconds)) + std::chrono::milliseconds(millis);
}

std::optional<std::chrono::milliseconds> XsdTime::parseDuration(std::string_view text)
{
    std::size_t at = 0;
    if (!expect(text, at, 'P') || at == text.size())
    {
        return std::nullopt;
    }
    bool inTime = false;
    bool any = false;
    double total = 0;
    while (at < text.size())
    {
        if (!inTime && expect(text, at, 'T'))
        {
            inTime = true;
            any = false;
            continue;
        }
        const std::size_t first = at;
        while (at < text.size() && ((text[at] >= '0' && text[at] <= '9') || text[at] == '.'))
        {
            ++at;
        }
        if (at == first || at == text.size())
        {
            return std::nullopt;
        }
        const double value =
            std::strtod(std::string(text.substr(first, at - first)).c_str(), nullptr);
        const char unit = text[at++];
        double seconds = 0;
        if (!inTime && unit == 'D')
        {
            seconds = 86400;
        }
        else if (inTime && (unit == 'H' || unit == 'M' || unit == 'S'))
        {
            seconds = unit == 'H' ? 3600 : unit == 'M' ? 60 : 1;
        }
        else
        {
            return std::nullopt;
        }
        total += value * seconds;
        any = true;
    }
    if (!any || total > 1e9)
    {
        return std::nullopt;
    }
    return std::chrono::milliseconds(static_cast<long long>(total * 1000));
}

} // namespace common
