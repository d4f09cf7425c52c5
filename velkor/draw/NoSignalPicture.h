#pragma once

#include "velkor/decode/Frame.h"
#include "velkor/draw/DrawTarget.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace velkor
{

// The picture shown while live play waits for a lost device: "NO SIGNAL" and how long ago the
// pictures stopped, drawn with cairo at the size it will be shown at.
class NoSignalPicture
{
public:
    static constexpr std::uint32_t kBackground = 0x282C34;

    // Into `frame`, as B, G, R, X pixels; false when memory runs out.
    static bool render(Frame& frame, PictureSize pictureSize, std::chrono::seconds lost);
    // The window's size, but no larger than the part of it that shows, so that a huge window
    // costs no more than the screen.
    static PictureSize sizeFor(PictureSize window, PictureArea visible);
    // "0:07", "12:30", "1:02:03".
    static std::string elapsed(std::chrono::seconds lost);
};

} // namespace velkor
