#include "velkor/FrameScaler.h"

#include <cstring>

namespace velkor
{
namespace
{

// The source pixel nearest to the centre of target pixel `at` of `targetSize`.
int nearest(int at, int sourceSize, int targetSize)
{
    return static_cast<int>((static_cast<long long>(at) * sourceSize + sourceSize / 2) /
                            targetSize);
}

} // namespace

void FrameScaler::scale(const Frame& source, const DrawTarget& target)
{
    const PictureSize size = source.size();
    const PictureArea& visible = target.visible;
    if (size.width <= 0 || size.height <= 0 || visible.width <= 0 || visible.height <= 0 ||
        target.window.width <= 0 || target.window.height <= 0)
    {
        return;
    }
    mapColumns(size.width, target);
    const std::size_t rowBytes = static_cast<std::size_t>(visible.width) * 4;
    const auto sourceStride = static_cast<std::size_t>(source->linesize[0]);
    const bool sameColumns = visible.width == target.window.width && size.width == visible.width;
    int previousRow = -1;
    for (int y = 0; y < visible.height; ++y)
    {
        const int sourceRow = nearest(visible.y + y, size.height, target.window.height);
        std::uint8_t* out = target.pixels + static_cast<std::size_t>(y) * target.stride;
        if (sourceRow == previousRow)
        {
            std::memcpy(out, out - target.stride, rowBytes);
            continue;
        }
        previousRow = sourceRow;
        const std::uint8_t* in =
            source->data[0] + static_cast<std::size_t>(sourceRow) * sourceStride;
        if (sameColumns)
        {
            std::memcpy(out, in, rowBytes);
            continue;
        }
        for (int x = 0; x < visible.width; ++x)
        {
            std::memcpy(out + static_cast<std::size_t>(x) * 4,
                        in + static_cast<std::size_t>(m_columns[static_cast<std::size_t>(x)]) * 4,
                        4);
        }
    }
}

void FrameScaler::mapColumns(int sourceWidth, const DrawTarget& target)
{
    const PictureArea& visible = target.visible;
    if (sourceWidth == m_sourceWidth && target.window.width == m_windowWidth &&
        visible.x == m_visibleX && visible.width == m_visibleWidth)
    {
        return;
    }
    m_columns.resize(static_cast<std::size_t>(visible.width));
    for (int x = 0; x < visible.width; ++x)
    {
        m_columns[static_cast<std::size_t>(x)] =
            static_cast<std::uint32_t>(nearest(visible.x + x, sourceWidth, target.window.width));
    }
    m_sourceWidth = sourceWidth;
    m_windowWidth = target.window.width;
    m_visibleX = visible.x;
    m_visibleWidth = visible.width;
}

} // namespace velkor
