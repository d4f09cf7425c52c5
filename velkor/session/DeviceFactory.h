#pragma once

#include "velkor/session/DeviceAccess.h"
#include "velkor/session/SettingsSnapshot.h"

#include <memory>
#include <vector>

namespace velkor
{

// The kinds of device the settings' address may name, in the order they are asked: a camera for
// a URL; else a velkor device, then an ONVIF camera at the same address and port.
class DeviceFactory
{
public:
    static std::vector<std::unique_ptr<DeviceAccess>> forSettings(const SettingsSnapshot& settings);
};

} // namespace velkor
