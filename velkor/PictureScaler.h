#pragma once

#include "velkor/DrawTarget.h"
#include "velkor/Frame.h"
#include "velkor/PictureRows.h"
#include "velkor/RowScaler.h"

namespace velkor
{

// Draws a decoded picture into a BGRA target, scaled to the window by nearest neighbour,
// whatever its layout and range. Only the rows and columns of the picture that the target's
// visible part shows are converted, each row once however often it shows, and nothing is written
// outside the visible part.
class PictureScaler
{
public:
    // False when the picture's layout cannot be converted.
    bool draw(const Frame& picture, const DrawTarget& target);

private:
    PictureRows m_rows;
    RowScaler m_columns;
};

} // namespace velkor
