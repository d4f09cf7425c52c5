#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkordevice
{

enum class StreamFormat
{
    Jpeg,
    Mpeg4,
    H264,
    H265
};

// The formats /velkor/live serves, their names on the wire and the widths each one offers.
class StreamFormats
{
public:
    static const std::vector<StreamFormat>& all();
    static std::optional<StreamFormat> parse(std::string_view name);
    static std::string name(StreamFormat format);
    // "jpeg,mpeg4,h264,h265" as /velkor/info lists them.
    static std::string nameList();
    static std::string contentType(StreamFormat format);

    static const std::vector<int>& widths(StreamFormat format);
    static bool offersWidth(StreamFormat format, int width);
    // "320,640,..." as /velkor/info lists them.
    static std::string widthList(StreamFormat format);
};

} // namespace velkordevice
