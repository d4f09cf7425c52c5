#pragma once

#include "device/StreamFormats.h"

#include <vector>

namespace velkordevice
{

// Looks into an access unit the way a decoder that joins the stream there would.
class AccessUnitProbe
{
public:
    // NAL unit types (H.264, H.265) or start code values (MPEG-4 Part 2), in order.
    static std::vector<int> units(StreamFormat format, const std::vector<unsigned char>& data);
    // Whether a decoder that has seen nothing before can start here: the parameter sets (the
    // sequence headers for MPEG-4), then an intra picture that needs no earlier one.
    static bool startsStream(StreamFormat format, const std::vector<unsigned char>& data);
};

} // namespace velkordevice
