#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velkor
{

// What GET /velkor/info tells about a device.
struct DeviceInfo
{
    int32_t uid = 0;
    int32_t channels = 0;

    // Nothing when the body is not that of a device of this kind (no device=velkor-device line)
    // or lacks a usable uid; a missing or bad channel count reads as one channel.
    static std::optional<DeviceInfo> parse(std::string_view body);
};

} // namespace velkor
