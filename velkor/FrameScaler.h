#pragma once

#include "velkor/DrawTarget.h"
#include "velkor/Frame.h"

#include <cstdint>
#include <vector>

namespace velkor
{

// Nearest-neighbour scaling of a BGRX frame to the size of a window, writing only the part of it
// the target keeps; the column map is kept between calls, since the sizes change rarely.
class FrameScaler
{
public:
    void scale(const Frame& source, const DrawTarget& target);

private:
    void mapColumns(int sourceWidth, const DrawTarget& target);

    std::vector<std::uint32_t> m_columns;
    int m_sourceWidth = -1;
    int m_windowWidth = -1;
    int m_visibleX = -1;
    int m_visibleWidth = -1;
};

} // namespace velkor
