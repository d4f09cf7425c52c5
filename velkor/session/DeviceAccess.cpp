#include "velkor/session/DeviceAccess.h"

namespace velkor
{

std::string DeviceAccess::channelRefusal(int32_t channel, const DeviceInfo& info) const
{
    return "the device has no channel " + std::to_string(channel) + " (it has 1 to " +
           std::to_string(info.channels) + ")";
}

} // namespace velkor
