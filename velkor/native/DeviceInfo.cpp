#include "velkor/native/DeviceInfo.h"

#include <algorithm>

namespace velkor
{

bool DeviceInfo::serves(VideoCodec codec) const
{
    return std::find(formats.begin(), formats.end(), codec) != formats.end();
}

} // namespace velkor
