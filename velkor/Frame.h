#pragma once

#include <cstdint>
#include <vector>

namespace velkor
{

// A decoded picture: 4 bytes per pixel in B, G, R, X order, rows packed (width * 4 bytes each).
struct Frame
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

} // namespace velkor
