#pragma once

#include <cstdint>
#include <string>

namespace velkortest
{

// A baseline JPEG of the given size whose content depends on `phase`, so successive frames differ.
std::string makeJpeg(int width, int height, int phase);
// A baseline JPEG of one colour, 0xRRGGBB.
std::string makeSolidJpeg(int width, int height, std::uint32_t colour);

} // namespace velkortest
