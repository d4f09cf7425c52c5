#include "velkor/FrameScaler.h"

#include <cstring>

namespace velkor
{

void FrameScaler::scale(const Frame& source, std::uint8_t* target, int targetWidth,
                        int targetHeight, std::size_t targetStride)
{
    if (source.width <= 0 || source.height <= 0 || targetWidth <= 0 || targetHeight <= 0)
    {
        return;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(targetWidth) * 4;
    const std::size_t sourceStride = static_cast<std::size_t>(source.width) * 4;
    if (source.width != m_sourceWidth || targetWidth != m_targetWidth)
    {
        m_columns.resize(static_cast<std::size_t>(targetWidth));
        for (int x = 0; x < targetWidth; ++x)
        {
            m_columns[static_cast<std::size_t>(x)] = static_cast<std::uint32_t>(
                (static_cast<long long>(x) * source.width + source.width / 2) / targetWidth);
        }
        m_sourceWidth = source.width;
        m_targetWidth = targetWidth;
    }
    int previousRow = -1;
    for (int y = 0; y < targetHeight; ++y)
    {
        const int sourceRow = static_cast<int>(
            (static_cast<long long>(y) * source.height + source.height / 2) / targetHeight);
        std::uint8_t* out = target + static_cast<std::size_t>(y) * targetStride;
        if (sourceRow == previousRow)
        {
            std::memcpy(out, out - targetStride, rowBytes);
            continue;
        }
        previousRow = sourceRow;
        const std::uint8_t* in =
            source.pixels.data() + static_cast<std::size_t>(sourceRow) * sourceStride;
        if (targetWidth == source.width)
        {
            std::memcpy(out, in, rowBytes);
            continue;
        }
        for (int x = 0; x < targetWidth; ++x)
        {
            std::memcpy(out + static_cast<std::size_t>(x) * 4,
                        in + static_cast<std::size_t>(m_columns[static_cast<std::size_t>(x)]) * 4,
                        4);
        }
    }
}

} // namespace velkor
