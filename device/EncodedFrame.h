#pragma once

#include <cstdint>
#include <vector>

namespace velkordevice
{

// One encoded picture, shared read-only by every reader of its channel and width.
struct EncodedFrame
{
    uint64_t number = 0;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> jpeg;
};

} // namespace velkordevice
