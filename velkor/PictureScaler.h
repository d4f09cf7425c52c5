#pragma once

#include "velkor/Frame.h"
#include "velkor/FrameScaler.h"
#include "velkor/PlanarImage.h"

#include <cstddef>
#include <cstdint>

struct SwsContext;

namespace velkor
{

// Draws a planar picture into a BGRA target of any size, nearest neighbour: libswscale converts
// and, for a target of at most half the picture's width and height, scales in one pass; for any
// other size it converts at the picture's size and FrameScaler scales the result, which costs
// less than libswscale's own scaling there.
class PictureScaler
{
public:
    PictureScaler() = default;
    ~PictureScaler();
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;

    // False when libswscale cannot convert the picture's format.
    bool draw(const PlanarImage& image, std::uint8_t* target, int width, int height,
              std::size_t stride);

private:
    struct Setup
    {
        AVPixelFormat format = AV_PIX_FMT_NONE;
        int sourceWidth = 0;
        int sourceHeight = 0;
        int targetWidth = 0;
        int targetHeight = 0;
        bool fullRange = false;
        AVColorSpace colorspace = AVCOL_SPC_UNSPECIFIED;

        bool operator==(const Setup&) const = default;
    };

    bool convert(const PlanarImage& image, std::uint8_t* target, int width, int height,
                 std::size_t stride);

    SwsContext* m_context = nullptr;
    Setup m_setup;
    Frame m_staging;
    FrameScaler m_enlarger;
};

} // namespace velkor
