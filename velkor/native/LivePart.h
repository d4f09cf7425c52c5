#pragma once

#include "velkor/decode/StreamFormats.h"

#include <cstdint>
#include <optional>

namespace velkor
{

struct MultipartPart;

// What the headers of a live stream's part say about its picture. Headers that are missing or
// hold no usable value are left empty; the part's body is not looked at.
struct LivePart
{
    std::optional<VideoCodec> codec;
    // Nothing when the part does not say (a version-1 device).
    std::optional<bool> keyframe;
    std::optional<std::uint64_t> frameNumber;
    // Microseconds since the Unix epoch when the device finished the picture.
    std::optional<std::int64_t> timestamp;

    static LivePart read(const MultipartPart& part);
};

} // namespace velkor
