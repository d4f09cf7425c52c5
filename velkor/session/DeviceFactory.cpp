#include "velkor/session/DeviceFactory.h"

#include "velkor/session/CameraDevice.h"
#include "velkor/session/VelkorDevice.h"

namespace velkor
{

std::unique_ptr<DeviceAccess> DeviceFactory::forSettings(const SettingsSnapshot& settings)
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

} // namespace velkor
