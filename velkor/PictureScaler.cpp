#include "velkor/PictureScaler.h"

#include <cstddef>
#include <cstdint>

namespace velkor
{
namespace
{

// Rows converted at once while every row of the picture shows: few enough to stay in the cache.
constexpr int kRowsAtOnce = 16;

} // namespace

bool PictureScaler::draw(const Frame& picture, const DrawTarget& target)
{
    const PictureSize size = picture.size();
    const PictureArea& visible = target.visible;
    if (picture.empty() || size.width <= 0 || size.height <= 0 || target.window.width <= 0 ||
        target.window.height <= 0 || visible.width <= 0 || visible.height <= 0)
    {
        return false;
    }
    const bool everyRow = size.height <= target.window.height;
    if (!m_rows.start(picture, everyRow ? kRowsAtOnce : 1, size.width >= 2 * target.window.width))
    {
        return false;
    }
    m_columns.prepare(m_rows.rowWidth(), target.window.width, visible.x, visible.width);
    int previous = -1;
    const std::uint8_t* row = nullptr;
    for (int y = 0; y < visible.height; ++y)
    {
        const int sourceRow = RowScaler::nearest(visible.y + y, size.height, target.window.height);
        // A row shown twice is scaled twice from the converted row still at hand, rather than
        // read back from a target that may be written past the cache.
        if (sourceRow != previous)
        {
            row = m_rows.row(sourceRow);
            previous = sourceRow;
        }
        if (row == nullptr)
        {
            return false;
        }
        m_columns.scale(row, target.pixels + static_cast<std::size_t>(y) * target.stride);
    }
    m_columns.finish();
    return true;
}

} // namespace velkor
