#include "device/OnvifProfiles.h"

namespace velkordevice
{

std::string OnvifProfile::token() const
{
    return "ch" + std::to_string(channel) + "_" + StreamFormats::name(format) + "_" +
           std::to_string(width);
}

std::vector<OnvifProfile> OnvifProfiles::all(int channels)
{
    std::vector<OnvifProfile> profiles;
    for (int channel = 1; channel <= channels; ++channel)
    {
        for (StreamFormat format : StreamFormats::all())
        {
            for (int width : StreamFormats::widths(format))
            {
                profiles.push_back({channel, format, width});
            }
        }
    }
    return profiles;
}

std::optional<OnvifProfile> OnvifProfiles::find(const std::string& token, int channels)
{
    for (const auto& profile : all(channels))
    {
        if (profile.token() == token)
        {
            return profile;
        }
    }
    return std::nullopt;
}

std::string OnvifProfiles::encoding(StreamFormat format)
{
    switch (format)
    {
    case StreamFormat::Jpeg:
        return "JPEG";
    case StreamFormat::Mpeg4:
        return "MPEG4";
    case StreamFormat::H264:
        return "H264";
    case StreamFormat::H265:
        return "H265";
    }
    return {};
}

std::string OnvifProfiles::sourceToken(int channel)
{
    return "video_source_" + std::to_string(channel);
}

std::string OnvifProfiles::sourceConfigurationToken(int channel)
{
    return "video_source_config_" + std::to_string(channel);
}

} // namespace velkordevice
