#pragma once

#include <chrono>
#include <string>

namespace velkordevice
{

class LocalTimestamp
{
public:
    // "YYYY-MM-DD<separator>HH:MM:SS.mmm" in the local time zone.
    static std::string format(std::chrono::system_clock::time_point when, char separator);
};

} // namespace velkordevice
