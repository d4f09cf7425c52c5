#pragma once

#include <cstdint>
#include <vector>

namespace velkordevice
{

// One encoded picture (one access unit), shared read-only by every reader of its stream.
struct EncodedFrame
{
    std::uint64_t number = 0;
    int width = 0;
    int height = 0;
    // Decodable without any earlier picture; carries the parameter sets of its stream.
    bool keyframe = false;
    // CLOCK_REALTIME when encoding finished, in microseconds since the Unix epoch.
    std::int64_t encodedAtMicros = 0;
    std::vector<unsigned char> data;
};

} // namespace velkordevice
