#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor
{

// The stream formats a device can serve, whatever the interface's code for them.
enum class VideoCodec
{
    Jpeg,
    Mpeg4,
    H264,
    H265
};

// One stream a device is asked for: its format and picture width.
struct StreamChoice
{
    VideoCodec codec = VideoCodec::Jpeg;
    int32_t width = 0;

    bool operator==(const StreamChoice&) const = default;
};

// How the stream formats are named at the interface (codes 0, 1, 2, 3, 6), in the protocol
// (`format=` and `formats=`) and in the parts of a live stream (Content-Type).
class StreamFormats
{
public:
    // Nothing for a code that names no format a device serves ("2 : Tessel").
    static std::optional<VideoCodec> fromCode(int32_t code);
    static int32_t code(VideoCodec codec);
    // The name of the format with this interface code, for messages: "H.264", "Tessel".
    static std::string nameOfCode(int32_t code);
    static std::string_view name(VideoCodec codec);
    static std::string_view protocolName(VideoCodec codec);
    static std::optional<VideoCodec> fromProtocolName(std::string_view name);
    // The codec of a part's Content-Type (parameters and case ignored), or nothing.
    static std::optional<VideoCodec> fromContentType(std::string_view contentType);
    // "JPEG (0), H.264 (3) and H.265 (6)"
    static std::string describe(const std::vector<VideoCodec>& codecs);
};

} // namespace velkor
