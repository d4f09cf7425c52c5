#include "velkor/native/DeviceEvent.h"

#include "common/Decimal.h"
#include "velkor/native/KeyValueText.h"

#include <limits>

namespace velkor
{

std::optional<DeviceEvent> DeviceEvent::parse(std::string_view kind, std::string_view data)
{
    DeviceEvent event;
    if (kind == "alarm")
    {
        event.kind = Kind::Alarm;
    }
    else if (kind == "record")
    {
        event.kind = Kind::Record;
    }
    else if (kind == "channel")
    {
        event.kind = Kind::Channel;
    }
    else
    {
        return std::nullopt;
    }

    const auto items = KeyValueText::parse(data, " \n");
    const auto number = [&items](std::string_view key) -> std::optional<int32_t>
    {
        const auto found = items.find(key);
        if (found == items.end())
        {
            return std::nullopt;
        }
        return common::Decimal::toInt32(found->second, std::numeric_limits<int32_t>::min(),
                                        std::numeric_limits<int32_t>::max());
    };
    const auto channel = number("channel");
    const auto status = number("status");
    if (!channel || !status)
    {
        return std::nullopt;
    }
    event.channel = *channel;
    event.status = *status;
    if (event.kind == Kind::Alarm)
    {
        const auto type = number("type");
        const auto time = items.find("time");
        if (!type || time == items.end())
        {
            return std::nullopt;
        }
        event.type = *type;
        event.time = time->second;
    }
    return event;
}

} // namespace velkor
