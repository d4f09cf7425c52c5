#include "FrameGeometry.h"

#include <algorithm>

namespace velkordevice
{

const std::vector<int>& FrameGeometry::widths()
{
    static const std::vector<int> list = {320, 640, 800, 960, 1280, 1920, 2048};
    return list;
}

bool FrameGeometry::isSupportedWidth(int width)
{
    const auto& list = widths();
    return std::find(list.begin(), list.end(), width) != list.end();
}

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

std::string FrameGeometry::widthList()
{
    std::string out;
    for (int w : widths())
    {
        if (!out.empty())
        {
            out += ',';
        }
        out += std::to_string(w);
    }
    return out;
}

} // namespace velkordevice
