#pragma once

extern "C"
{
#include <libavutil/pixfmt.h>
}

#include <array>
#include <cstdint>

namespace velkor
{

// A decoded picture as planes of samples, as decoders give it out; the planes belong to the
// decoder and stay valid until its next picture.
struct PlanarImage
{
    AVPixelFormat format = AV_PIX_FMT_NONE;
    int width = 0;
    int height = 0;
    std::array<const std::uint8_t*, 4> planes{};
    std::array<int, 4> strides{};
    // Samples span 0..255 (JPEG) rather than 16..235 (the video default).
    bool fullRange = false;
    AVColorSpace colorspace = AVCOL_SPC_UNSPECIFIED;
};

} // namespace velkor
