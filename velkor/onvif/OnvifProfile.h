#pragma once

#include "velkor/decode/StreamFormats.h"

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <vector>

namespace velkor
{

// One media profile of GetProfiles: its token and what its video encoder sends.
struct OnvifProfile
{
    std::string token;
    // tt:Encoding as the camera wrote it, made fit for a message ("H264", "VP8"); empty when the
    // profile has no video encoder.
    std::string encoding;
    // Set when the library decodes what the profile sends.
    std::optional<VideoCodec> codec;
    int width = 0;
    int height = 0;
    // The tokens of its video source and of that source's configuration, which motion events
    // name; empty when it has none.
    std::string videoSource;
    std::string videoSourceConfiguration;

    // Every trt:Profiles of a GetProfilesResponse, in the camera's order.
    static std::vector<OnvifProfile> readAll(const xmlNode* response);
    // "H264 1280x720", for messages.
    std::string describe() const;
};

} // namespace velkor
