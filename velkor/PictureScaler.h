#pragma once

#include "velkor/DrawTarget.h"
#include "velkor/Frame.h"
#include "velkor/FrameScaler.h"

#include <cstddef>
#include <cstdint>

struct SwsContext;

namespace velkor
{

// Draws a decoded picture into a BGRA target, nearest neighbour, whatever its layout and range:
// libswscale converts and, for a whole window of at most half the picture's width and height,
// scales in one pass; otherwise it converts at the picture's size and FrameScaler scales the
// result, which costs less than libswscale's own scaling there and writes only the part of the
// window that shows.
class PictureScaler
{
public:
    PictureScaler() = default;
    ~PictureScaler();
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;

    // False when libswscale cannot convert the picture's format.
    bool draw(const Frame& picture, const DrawTarget& target);

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

    bool convert(const Frame& picture, std::uint8_t* target, std::size_t stride, PictureSize size);
    bool prepare(const Setup& wanted);

    SwsContext* m_context = nullptr;
    Setup m_setup;
    Frame m_converted;
    FrameScaler m_enlarger;
};

} // namespace velkor
