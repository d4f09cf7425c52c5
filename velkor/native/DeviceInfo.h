#pragma once

#include "velkor/decode/StreamFormats.h"

#include <cstdint>
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
};

} // namespace velkor
