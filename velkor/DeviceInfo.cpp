#include "DeviceInfo.h"

#include "KeyValueText.h"

#include <limits>

namespace velkor
{

std::optional<DeviceInfo> DeviceInfo::parse(std::string_view body)
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
    const auto uid = KeyValueText::toInt(uidText->second, 0, std::numeric_limits<int32_t>::max());
    if (!uid)
    {
        return std::nullopt;
    }
    DeviceInfo info;
    info.uid = *uid;
    info.channels = 1;
    if (const auto channels = items.find("channels"); channels != items.end())
    {
        info.channels = KeyValueText::toInt(channels->second, 1, 4096).value_or(1);
    }
    return info;
}

} // namespace velkor
