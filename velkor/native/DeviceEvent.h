#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor
{

// One event from the device's event stream.
struct DeviceEvent
{
    enum class Kind
    {
        Alarm,
        Record,
        Channel
    };

    // The alarm type of motion; ONVIF cameras' motion is raised with it too.
    static constexpr int32_t kMotionAlarm = 1;

    Kind kind = Kind::Channel;
    int32_t channel = 0;
    int32_t type = 0;
    int32_t status = 0;
    std::string time;

    // Nothing for kinds this library does not know or data lacking a required key.
    static std::optional<DeviceEvent> parse(std::string_view kind, std::string_view data);
};

} // namespace velkor
