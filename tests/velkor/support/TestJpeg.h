#pragma once

#include <string>

namespace velkortest
{

// A baseline JPEG of the given size whose content depends on `phase`, so successive frames differ.
std::string makeJpeg(int width, int height, int phase);

} // namespace velkortest
