#include "velkor/draw/PictureScaler.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velkor
{
namespace
{

// Rows converted at once while every row of the picture shows: few enough to stay in the cache.
constexpr int kRowsAtOnce = 16;
// Pixel shapes further from square than this are taken for a stream's mistake.
constexpr int kWidestPixel = 8;

std::int64_t roundedQuotient(std::int64_t dividend, std::int64_t divisor)
{
    return (dividend + divisor / 2) / divisor;
}

PictureArea intersection(const PictureArea& a, const PictureArea& b)
{
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const int right = std::min(a.x + a.width, b.x + b.width);
    const int bottom = std::min(a.y + a.height, b.y + b.height);
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

// Black over `width` pixels of row `y` of the visible part, from `x` of it on.
void blacken(const DrawTarget& target, int x, int y, int width)
{
    if (width > 0)
    {
        std::memset(target.pixels + static_cast<std::size_t>(y) * target.stride +
                        static_cast<std::size_t>(x) * 4,
                    0, static_cast<std::size_t>(width) * 4);
    }
}

} // namespace

PictureArea PictureScaler::placement(const Frame& picture, PictureSize window)
{
    std::int64_t shapeWidth = picture.size().width;
    std::int64_t shapeHeight = picture.size().height;
    const AVRational pixel = picture->sample_aspect_ratio;
    if (pixel.num > 0 && pixel.den > 0 && pixel.num <= kWidestPixel * std::int64_t{pixel.den} &&
        pixel.den <= kWidestPixel * std::int64_t{pixel.num})
    {
        shapeWidth *= pixel.num;
        shapeHeight *= pixel.den;
    }
    PictureArea placed{0, 0, window.width, window.height};
    if (shapeWidth <= 0 || shapeHeight <= 0 || window.width <= 0 || window.height <= 0)
    {
        return placed;
    }
    if (window.width * shapeHeight > window.height * shapeWidth)
    {
        const auto width =
            static_cast<int>(roundedQuotient(window.height * shapeWidth, shapeHeight));
        if ((window.width - width) * std::int64_t{picture.size().width} >= width)
        {
            placed.width = std::max(1, width);
        }
    }
    else
    {
        const auto height =
            static_cast<int>(roundedQuotient(window.width * shapeHeight, shapeWidth));
        if ((window.height - height) * std::int64_t{picture.size().height} >= height)
        {
            placed.height = std::max(1, height);
        }
    }
    placed.x = (window.width - placed.width) / 2;
    placed.y = (window.height - placed.height) / 2;
    return placed;
}

bool PictureScaler::draw(const Frame& picture, const DrawTarget& target)
{
    const PictureSize size = picture.size();
    const PictureArea& visible = target.visible;
    if (picture.empty() || size.width <= 0 || size.height <= 0 || target.window.width <= 0 ||
        target.window.height <= 0 || visible.width <= 0 || visible.height <= 0)
    {
        return false;
    }
    const PictureArea placed = placement(picture, target.window);
    const PictureArea shown = intersection(visible, placed);
    // The bars, in the visible part's own rows and columns.
    const int top = shown.height > 0 ? shown.y - visible.y : visible.height;
    const int bottom = shown.height > 0 ? top + shown.height : visible.height;
    for (int y = 0; y < visible.height; ++y)
    {
        if (y < top || y >= bottom)
        {
            blacken(target, 0, y, visible.width);
        }
        else
        {
            blacken(target, 0, y, shown.x - visible.x);
            blacken(target, shown.x - visible.x + shown.width, y,
                    visible.x + visible.width - shown.x - shown.width);
        }
    }
    return shown.height == 0 || shown.width == 0 || scale(picture, target, placed, shown);
}

bool PictureScaler::scale(const Frame& picture, const DrawTarget& target, const PictureArea& placed,
                          const PictureArea& shown)
{
    const PictureSize size = picture.size();
    const bool everyRow = size.height <= placed.height;
    if (!m_rows.start(picture, everyRow ? kRowsAtOnce : 1, size.width >= 2 * placed.width))
    {
        return false;
    }
    m_columns.prepare(m_rows.rowWidth(), placed.width, shown.x - placed.x, shown.width);
    std::uint8_t* out = target.pixels +
                        static_cast<std::size_t>(shown.y - target.visible.y) * target.stride +
                        static_cast<std::size_t>(shown.x - target.visible.x) * 4;
    int previous = -1;
    const std::uint8_t* row = nullptr;
    for (int y = 0; y < shown.height; ++y)
    {
        const int sourceRow =
            RowScaler::nearest(shown.y - placed.y + y, size.height, placed.height);
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
        m_columns.scale(row, out + static_cast<std::size_t>(y) * target.stride);
    }
    m_columns.finish();
    return true;
}

} // namespace velkor
