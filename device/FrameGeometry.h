#pragma once

namespace velkordevice
{

class FrameGeometry
{
public:
    // width * 3 / 4, rounded to even.
    static int heightFor(int width);
};

} // namespace velkordevice
