#include "velkor/DeviceAccess.h"

#include "velkor/VelkorDevice.h"

namespace velkor
{

std::unique_ptr<DeviceAccess> DeviceAccess::forSettings(const SettingsSnapshot& settings)
{
    return std::make_unique<VelkorDevice>(settings);
}

} // namespace velkor
