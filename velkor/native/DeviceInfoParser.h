#pragma once

#include "velkor/native/DeviceInfo.h"

#include <optional>
#include <string_view>

namespace velkor
{

// Reads the body of GET /velkor/info.
class DeviceInfoParser
{
public:
    // Nothing when the body is not that of a device of this kind (no device=velkor-device line)
    // or lacks a usable uid; a missing or bad channel count reads as one channel. Formats this
    // library does not know are left out.
    static std::optional<DeviceInfo> parse(std::string_view body);
};

} // namespace velkor
