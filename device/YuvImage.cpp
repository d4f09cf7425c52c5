#include "device/YuvImage.h"

#include <algorithm>
#include <cstring>

namespace velkordevice
{

YuvImage::YuvImage(int width, int height)
    : m_width(width), m_height(height), m_y(static_cast<std::size_t>(width) * height, 0),
      m_u(static_cast<std::size_t>(chromaWidth()) * chromaHeight(), 128),
      m_v(static_cast<std::size_t>(chromaWidth()) * chromaHeight(), 128)
{
}

void YuvImage::fillRect(int x, int y, int w, int h, uint8_t luma, uint8_t cb, uint8_t cr)
{
    const int x0 = std::max(0, x);
    const int y0 = std::max(0, y);
    const int x1 = std::min(m_width, x + w);
    const int y1 = std::min(m_height, y + h);
    if (x0 >= x1 || y0 >= y1)
    {
        return;
    }
    for (int row = y0; row < y1; ++row)
    {
        std::memset(m_y.data() + static_cast<std::size_t>(row) * m_width + x0, luma,
                    static_cast<std::size_t>(x1 - x0));
    }
    const int cx0 = x0 / 2;
    const int cx1 = (x1 + 1) / 2;
    const int cw = chromaWidth();
    for (int row = y0 / 2; row < (y1 + 1) / 2; ++row)
    {
        std::memset(m_u.data() + static_cast<std::size_t>(row) * cw + cx0, cb,
                    static_cast<std::size_t>(cx1 - cx0));
        std::memset(m_v.data() + static_cast<std::size_t>(row) * cw + cx0, cr,
                    static_cast<std::size_t>(cx1 - cx0));
    }
}

void YuvImage::copyRows(const YuvImage& from, int firstRow, int rowCount)
{
    if (from.m_width != m_width || from.m_height != m_height)
    {
        return;
    }
    const int first = std::clamp(firstRow, 0, m_height);
    const int last = std::clamp(firstRow + rowCount, 0, m_height);
    const std::size_t lumaOffset = static_cast<std::size_t>(first) * m_width;
    std::memcpy(m_y.data() + lumaOffset, from.m_y.data() + lumaOffset,
                static_cast<std::size_t>(last - first) * m_width);
    const int cw = chromaWidth();
    const int cFirst = first / 2;
    const int cLast = (last + 1) / 2;
    const std::size_t chromaOffset = static_cast<std::size_t>(cFirst) * cw;
    const std::size_t chromaBytes = static_cast<std::size_t>(cLast - cFirst) * cw;
    std::memcpy(m_u.data() + chromaOffset, from.m_u.data() + chromaOffset, chromaBytes);
    std::memcpy(m_v.data() + chromaOffset, from.m_v.data() + chromaOffset, chromaBytes);
}

} // namespace velkordevice
