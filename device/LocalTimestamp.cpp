#include "device/LocalTimestamp.h"

#include <cstdio>
#include <ctime>

namespace velkordevice
{

std::string LocalTimestamp::format(std::chrono::system_clock::time_point when, char separator)
{
    using namespace std::chrono;
    const auto sinceEpoch = when.time_since_epoch();
    auto secs = duration_cast<seconds>(sinceEpoch);
    auto millis = duration_cast<milliseconds>(sinceEpoch - secs).count();
    if (millis < 0)
    {
        secs -= seconds(1);
        millis += 1000;
    }
    const std::time_t t = static_cast<std::time_t>(secs.count());
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d%c%02d:%02d:%02d.%03d",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, separator, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<int>(millis));
    return buffer;
}

} // namespace velkordevice
