#include "velkor/session/DeviceFactory.h"

#include "velkor/session/CameraDevice.h"
#include "velkor/session/OnvifDevice.h"
#include "velkor/session/VelkorDevice.h"

namespace velkor
{

std::vector<std::unique_ptr<DeviceAccess>>
DeviceFactory::forSettings(const SettingsSnapshot& settings)
{
    std::vector<std::unique_ptr<DeviceAccess>> kinds;
    if (CameraUrl::looksLikeUrl(settings.address))
    {
        std::string why;
        if (auto url = CameraUrl::parse(settings.address, why))
        {
            kinds.push_back(std::make_unique<CameraDevice>(std::move(*url), settings));
            return kinds;
        }
    }
    kinds.push_back(std::make_unique<VelkorDevice>(settings));
    kinds.push_back(std::make_unique<OnvifDevice>(settings));
    return kinds;
}

} // namespace velkor
