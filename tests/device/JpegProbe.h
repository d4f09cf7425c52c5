#pragma once

#include <cstdint>
#include <optional>
#include <vector>

struct JpegInfo
{
    int width = 0;
    int height = 0;
    int subsampling = -1;
};

// Fully decodes a JPEG with TurboJPEG, so a truncated or corrupt picture is caught too.
class JpegProbe
{
public:
    static std::optional<JpegInfo> decode(const std::vector<unsigned char>& jpeg);
    // Decoded luma only.
    static std::vector<unsigned char> decodeGray(const std::vector<unsigned char>& jpeg);
};
