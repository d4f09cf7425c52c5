#pragma once

#include <cstdint>
#include <string>

namespace velkortest
{

// A baseline JPEG of the given size whose content depends on `phase`, so successive frames differ.
std::string makeJpeg(int width, int height, int phase);
// A baseline JPEG whose red rises from left to right and green from top to bottom, from 64 to
// 255, under blue at 128: never black, and every place in it has a colour of its own.
std::string makeRampJpeg(int width, int height);
// A baseline JPEG of one colour, 0xRRGGBB.
std::string makeSolidJpeg(int width, int height, std::uint32_t colour);

} // namespace velkortest
