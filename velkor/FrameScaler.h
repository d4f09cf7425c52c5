#pragma once

#include "velkor/Frame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velkor
{

// Nearest-neighbour scaling of a BGRX frame into a BGRX target of any size; the column map is
// kept between calls, since the sizes change rarely.
class FrameScaler
{
public:
    void scale(const Frame& source, std::uint8_t* target, int targetWidth, int targetHeight,
               std::size_t targetStride);

private:
    std::vector<std::uint32_t> m_columns;
    int m_sourceWidth = -1;
    int m_targetWidth = -1;
};

} // namespace velkor
