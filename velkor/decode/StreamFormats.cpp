#include "velkor/decode/StreamFormats.h"

#include "common/AsciiText.h"

#include <array>

namespace velkor
{
namespace
{

struct FormatEntry
{
    VideoCodec codec;
    int32_t code;
    std::string_view name;
    std::string_view protocolName;
    std::string_view contentType;
};

constexpr std::array<FormatEntry, 4> kFormats{{
    {VideoCodec::Jpeg, 0, "JPEG", "jpeg", "image/jpeg"},
    {VideoCodec::Mpeg4, 1, "MPEG-4", "mpeg4", "video/MP4V-ES"},
    {VideoCodec::H264, 3, "H.264", "h264", "video/H264"},
    {VideoCodec::H265, 6, "H.265", "h265", "video/H265"},
}};

constexpr int32_t kTesselCode = 2;

const FormatEntry& entryOf(VideoCodec codec)
{
    for (const FormatEntry& entry : kFormats)
    {
        if (entry.codec == codec)
        {
            return entry;
        }
    }
    return kFormats.front();
}

} // namespace

std::optional<VideoCodec> StreamFormats::fromCode(int32_t code)
{
    for (const FormatEntry& entry : kFormats)
    {
        if (entry.code == code)
        {
            return entry.codec;
        }
    }
    return std::nullopt;
}

int32_t StreamFormats::code(VideoCodec codec)
{
    return entryOf(codec).code;
}

std::string StreamFormats::nameOfCode(int32_t code)
{
    if (const auto codec = fromCode(code))
    {
        return std::string(name(*codec));
    }
    return code == kTesselCode ? "Tessel" : "unknown";
}

std::string_view StreamFormats::name(VideoCodec codec)
{
    return entryOf(codec).name;
}

std::string_view StreamFormats::protocolName(VideoCodec codec)
{
    return entryOf(codec).protocolName;
}

std::optional<VideoCodec> StreamFormats::fromProtocolName(std::string_view name)
{
    for (const FormatEntry& entry : kFormats)
    {
        if (common::AsciiText::equalsNoCase(entry.protocolName, name))
        {
            return entry.codec;
        }
    }
    return std::nullopt;
}

std::optional<VideoCodec> StreamFormats::fromContentType(std::string_view contentType)
{
    const std::string_view type =
        common::AsciiText::trim(contentType.substr(0, contentType.find(';')));
    for (const FormatEntry& entry : kFormats)
    {
        if (common::AsciiText::equalsNoCase(entry.contentType, type))
        {
            return entry.codec;
        }
    }
    return std::nullopt;
}

std::string StreamFormats::describe(const std::vector<VideoCodec>& codecs)
{
    std::string text;
    for (std::size_t i = 0; i < codecs.size(); ++i)
    {
        if (i > 0)
        {
            text += i + 1 == codecs.size() ? " and " : ", ";
        }
        text += std::string(name(codecs[i])) + " (" + std::to_string(code(codecs[i])) + ")";
    }
    return text;
}

} // namespace velkor
