#pragma once

#include "velkor/decode/StreamFormats.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velkor
{

// What GET /velkor/info tells about a device.
struct DeviceInfo
{
    int32_t uid = 0;
    int32_t channels = 0;
    // In the order the device lists them; JPEG alone for a device that lists none.
    std::vector<VideoCodec> formats;

    bool serves(VideoCodec codec) const;

    // Nothing when the body is not that of a device of this kind (no device=velkor-device line)
    // or lacks a usable uid; a missing or bad channel count reads as one channel. Formats this
    // library does not know are left out.
    static std::optional<DeviceInfo> parse(std::string_view body);
};

} // namespace velkor
