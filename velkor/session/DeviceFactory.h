#pragma once

#include "velkor/session/DeviceAccess.h"
#include "velkor/session/SettingsSnapshot.h"

#include <memory>

namespace velkor
{

// Picks the kind of device the settings' address names: a camera for a URL, else a velkor device.
class DeviceFactory
{
public:
    static std::unique_ptr<DeviceAccess> forSettings(const SettingsSnapshot& settings);
};

} // namespace velkor
