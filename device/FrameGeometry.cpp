#include "device/FrameGeometry.h"

namespace velkordevice
{

int FrameGeometry::heightFor(int width)
{
    const int exact4 = width * 3; // four times the exact height
    int height = exact4 / 4;
    if (height % 2 != 0)
    {
        height += exact4 % 4 >= 2 ? 1 : -1;
    }
    return height;
}

} // namespace velkordevice
