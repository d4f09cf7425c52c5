#include "device/StreamFormats.h"

#include <algorithm>
#include <array>

namespace velkordevice
{

namespace
{

struct FormatEntry
{
    StreamFormat format;
    const char* name;
    const char* contentType;
};

constexpr std::array<FormatEntry, 4> kEntries = {{
    {StreamFormat::Jpeg, "jpeg", "image/jpeg"},
    {StreamFormat::Mpeg4, "mpeg4", "video/MP4V-ES"},
    {StreamFormat::H264, "h264", "video/H264"},
    {StreamFormat::H265, "h265", "video/H265"},
}};

const FormatEntry& entryFor(StreamFormat format)
{
    return *std::find_if(kEntries.begin(), kEntries.end(),
                         [format](const FormatEntry& entry) { return entry.format == format; });
}

std::string joined(const std::vector<std::string>& items)
{
    std::string out;
    for (const auto& item : items)
    {
        if (!out.empty())
        {
            out += ',';
        }
        out += item;
    }
    return out;
}

} // namespace

const std::vector<StreamFormat>& StreamFormats::all()
{
    static const std::vector<StreamFormat> list = {StreamFormat::Jpeg, StreamFormat::Mpeg4,
                                                   StreamFormat::H264, StreamFormat::H265};
    return list;
}

std::optional<StreamFormat> StreamFormats::parse(std::string_view name)
{
    for (const auto& entry : kEntries)
    {
        if (name == entry.name)
        {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::string StreamFormats::name(StreamFormat format)
{
    return entryFor(format).name;
}

std::string StreamFormats::nameList()
{
    std::vector<std::string> names;
    for (StreamFormat format : all())
    {
        names.push_back(name(format));
    }
    return joined(names);
}

std::string StreamFormats::contentType(StreamFormat format)
{
    return entryFor(format).contentType;
}

const std::vector<int>& StreamFormats::widths(StreamFormat format)
{
    static const std::vector<int> jpeg = {320, 640, 800, 960, 1280, 1920, 2048};
    static const std::vector<int> mpeg4 = {320, 640};
    static const std::vector<int> avc = {320, 640, 800, 960, 1280, 1920};
    switch (format)
    {
    case StreamFormat::Jpeg:
        return jpeg;
    case StreamFormat::Mpeg4:
        return mpeg4;
    case StreamFormat::H264:
    case StreamFormat::H265:
        break;
    }
    return avc;
}

bool StreamFormats::offersWidth(StreamFormat format, int width)
{
    const auto& list = widths(format);
    return std::find(list.begin(), list.end(), width) != list.end();
}

std::string StreamFormats::widthList(StreamFormat format)
{
    std::vector<std::string> items;
    for (int width : widths(format))
    {
        items.push_back(std::to_string(width));
    }
    return joined(items);
}

} // namespace velkordevice
