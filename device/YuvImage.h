#pragma once

#include <cstdint>
#include <vector>

namespace velkordevice
{

// A planar 4:2:0 image, full-range BT.601 as JPEG uses it.
class YuvImage
{
public:
    YuvImage(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int chromaWidth() const { return (m_width + 1) / 2; }
    int chromaHeight() const { return (m_height + 1) / 2; }

    uint8_t* y() { return m_y.data(); }
    uint8_t* u() { return m_u.data(); }
    uint8_t* v() { return m_v.data(); }
    const uint8_t* y() const { return m_y.data(); }
    const uint8_t* u() const { return m_u.data(); }
    const uint8_t* v() const { return m_v.data(); }

    // Clipped to the image; chroma covers every chroma sample the rectangle touches.
    void fillRect(int x, int y, int w, int h, uint8_t luma, uint8_t cb, uint8_t cr);
    void copyRows(const YuvImage& from, int firstRow, int rowCount);

private:
    int m_width;
    int m_height;
    std::vector<uint8_t> m_y;
    std::vector<uint8_t> m_u;
    std::vector<uint8_t> m_v;
};

} // namespace velkordevice
