#pragma once

#include "velkor/decode/Frame.h"
#include "velkor/draw/DrawTarget.h"
#include "velkor/draw/PictureRows.h"
#include "velkor/draw/RowScaler.h"

namespace velkor
{

// Draws a decoded picture into a BGRA target by nearest neighbour, whatever its layout and range,
// as large as the window holds it with its shape kept, and black beside or above and below it, as
// players do. Only the rows and columns of the picture that the target's visible part shows are
// converted, each row once however often it shows, and nothing is written outside the visible
// part.
class PictureScaler
{
public:
    // Where the picture goes in a window of `window`'s size: centred, its shape that of its pixels
    // times their own shape where the stream gives one. Bars narrower together than one of the
    // picture's pixels would be are left out, so a picture of the window's shape fills it.
    static PictureArea placement(const Frame& picture, PictureSize window);

    // False when the picture's layout cannot be converted.
    bool draw(const Frame& picture, const DrawTarget& target);

private:
    bool scale(const Frame& picture, const DrawTarget& target, const PictureArea& placed,
               const PictureArea& shown);

    PictureRows m_rows;
    RowScaler m_columns;
};

} // namespace velkor
