#include "velkor/native/DeviceInfoParser.h"

#include "common/Decimal.h"
#include "velkor/native/KeyValueText.h"

#include <algorithm>
#include <limits>

namespace velkor
{

namespace
{

std::vector<VideoCodec> formatsIn(std::string_view list)
{
    std::vector<VideoCodec> formats;
    while (!list.empty())
    {
        const auto comma = list.find(',');
        const auto codec = StreamFormats::fromProtocolName(list.substr(0, comma));
        if (codec && std::find(formats.begin(), formats.end(), *codec) == formats.end())
        {
            formats.push_back(*codec);
        }
        if (comma == std::string_view::npos)
        {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return formats;
}

} // namespace

std::optional<DeviceInfo> DeviceInfoParser::parse(std::string_view body)
{
    const auto items = KeyValueText::parse(body, "\n");
    const auto device = items.find("device");
    if (device == items.end() || device->second != "velkor-device")
    {
        return std::nullopt;
    }
    const auto uidText = items.find("uid");
    if (uidText == items.end())
    {
        return std::nullopt;
    }
    const auto uid =
        common::Decimal::toInt32(uidText->second, 0, std::numeric_limits<int32_t>::max());
    if (!uid)
    {
        return std::nullopt;
    }
    DeviceInfo info;
    info.uid = *uid;
    info.channels = 1;
    if (const auto channels = items.find("channels"); channels != items.end())
    {
        info.channels = common::Decimal::toInt32(channels->second, 1, 4096).value_or(1);
    }
    if (const auto formats = items.find("formats"); formats != items.end())
    {
        info.formats = formatsIn(formats->second);
    }
    if (info.formats.empty())
    {
        info.formats.push_back(VideoCodec::Jpeg);
    }
    return info;
}

} // namespace velkor
