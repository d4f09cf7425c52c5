#pragma once

#include "device/StreamFormats.h"

#include <optional>
#include <string>
#include <vector>

namespace velkordevice
{

// One media profile: a stream /velkor/live serves.
struct OnvifProfile
{
    int channel = 1;
    StreamFormat format = StreamFormat::Jpeg;
    int width = 0;

    // "ch1_h264_640".
    std::string token() const;
};

// The media profiles of a device: per channel, one per format and width it offers, in channel
// order, then format, then width.
class OnvifProfiles
{
public:
    static std::vector<OnvifProfile> all(int channels);
    static std::optional<OnvifProfile> find(const std::string& token, int channels);
    // ONVIF's name of the encoding: JPEG, MPEG4, H264, H265.
    static std::string encoding(StreamFormat format);
    static std::string sourceToken(int channel);
    static std::string sourceConfigurationToken(int channel);
};

} // namespace velkordevice
