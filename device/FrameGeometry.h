#pragma once

#include <string>
#include <vector>

namespace velkordevice
{

class FrameGeometry
{
public:
    static const std::vector<int>& widths();
    static bool isSupportedWidth(int width);
    // width * 3 / 4, rounded to even.
    static int heightFor(int width);
    // "320,640,..." as /velkor/info lists them.
    static std::string widthList();
};

} // namespace velkordevice
