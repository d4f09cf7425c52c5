#include "velkor/session/DeviceAccess.h"

#include "velkor/session/CameraDevice.h"
#include "velkor/session/VelkorDevice.h"

namespace velkor
{

std::unique_ptr<DeviceAccess> DeviceAccess::forSettings(const SettingsSnapshot& settings)
{
    if (CameraUrl::looksLikeUrl(settings.address))
    {
        std::string why;
        if (auto url = CameraUrl::parse(settings.address, why))
        {
            return std::make_unique<CameraDevice>(std::move(*url), settings);
        }
    }
    return std::make_unique<VelkorDevice>(settings);
}

std::string DeviceAccess::channelRefusal(int32_t channel, const DeviceInfo& info) const
{
    return "the device has no channel " + std::to_string(channel) + " (it has 1 to " +
           std::to_string(info.channels) + ")";
}

} // namespace velkor
