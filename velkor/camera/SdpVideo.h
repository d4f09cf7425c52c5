#pragma once

#include "velkor/decode/StreamFormats.h"

#include <optional>
#include <string>
#include <string_view>

namespace velkor
{

// What a camera's session description (SDP, its answer to RTSP DESCRIBE) says of the first video
// track it offers.
struct SdpVideo
{
    // As the description names it ("H264", "JPEG", "VP8"), upper case.
    std::string encoding;
    // Nothing for an encoding the library does not decode.
    std::optional<VideoCodec> codec;

    // Nothing when the description offers no video track.
    static std::optional<SdpVideo> parse(std::string_view sdp);
};

} // namespace velkor
