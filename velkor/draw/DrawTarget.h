#pragma once

#include "velkor/decode/Frame.h"

#include <cstddef>
#include <cstdint>

namespace velkor
{

// A rectangle of a window, in its pixels.
struct PictureArea
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const PictureArea&) const = default;
};

// Where a picture is drawn: it is placed in the whole window, and the pixels of the visible part
// of the window, and only those, go into `pixels` (B, G, R, X, `stride` bytes a row).
struct DrawTarget
{
    std::uint8_t* pixels = nullptr;
    std::size_t stride = 0;
    PictureSize window;
    PictureArea visible;

    bool whole() const { return visible == PictureArea{0, 0, window.width, window.height}; }
};

} // namespace velkor
